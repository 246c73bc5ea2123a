#pragma once

#include <QPalette>

// Gives the application its look and its light palette; call once the
// application object exists. Each platform has its own file
// (platform/<platform>/application_look.cpp).
void ApplyApplicationLook();

// The window's colours are fixed (black title and addresses on white, the
// template's line colours): a dark desktop palette would leave them
// unreadable, so every control uses this light palette whatever the desktop
// theme is.
QPalette LightPalette();

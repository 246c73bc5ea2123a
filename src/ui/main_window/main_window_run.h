#pragma once

#include "ui/main_window/error_box.h"

// The program: gives the application its look and icon, creates the main
// window fmMain and runs the event loop until the window is closed. Returns
// the exit status: 0 after the window was closed; 1 when the window could
// not be created, after the "Application Error" box has been closed (the
// window is never shown then). Needs the QApplication to exist.
int RunMainWindow(const TErrorBoxPresenter& presentError = ShowModalErrorBox);

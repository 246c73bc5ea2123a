#pragma once

// Gives the application its look; call once the application object exists.
// Each platform has its own file (application_look_<platform>.cpp).
void ApplyApplicationLook();

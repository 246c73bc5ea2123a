#pragma once

// The three built-in looks the window can be drawn in on Windows. Shared
// code, so that the choice is tested wherever the tests run.
enum class TLook { Windows10, Windows8, Windows7 };

// Major 10 or higher: the Windows 10 look; above 6.1: the Windows 8 look;
// anything older: the Windows 7 look.
TLook LookForWindowsVersion(int major, int minor);

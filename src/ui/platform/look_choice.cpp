#include "ui/platform/look_choice.h"

TLook LookForWindowsVersion(int major, int minor)
{
    if (major >= 10)
        return TLook::Windows10;
    if (major > 6 || (major == 6 && minor > 1))
        return TLook::Windows8;
    return TLook::Windows7;
}

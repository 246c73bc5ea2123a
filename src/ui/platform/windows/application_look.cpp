#include "ui/platform/application_look.h"

#include "ui/platform/look_choice.h"

#include <QApplication>
#include <QOperatingSystemVersion>

// Qt carries no Windows 8 or 7 artwork of its own: the native style draws
// those, and the flat Fusion style stands in for the Windows 10 look.
void ApplyApplicationLook()
{
    const QOperatingSystemVersion version = QOperatingSystemVersion::current();
    const TLook look = LookForWindowsVersion(version.majorVersion(), version.minorVersion());
    QApplication::setStyle(look == TLook::Windows10 ? QStringLiteral("Fusion") : QStringLiteral("windowsvista"));
    QApplication::setPalette(LightPalette());
}

#include "ui/application_look.h"

#include <QApplication>

// The built-in Windows looks do not exist here: the toolkit's own standard
// look stands in, the same whatever desktop theme is installed.
void ApplyApplicationLook()
{
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setPalette(LightPalette());
}

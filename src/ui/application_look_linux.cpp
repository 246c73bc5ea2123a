#include "ui/application_look.h"

#include <QApplication>
#include <QFont>

// The built-in Windows looks do not exist here: the toolkit's own standard
// look stands in, the same whatever desktop theme is installed.
void ApplyApplicationLook()
{
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setPalette(LightPalette());
    // The entries' lines that a device cannot make arbitrarily long (the
    // widest mask and MAC, ports, states, address) must fit the 291-pixel text
    // column at the designed sizes, as they do in the Windows look's font.
    // The desktop's usual sans-serif (DejaVu Sans) is too wide for that;
    // Liberation Sans (the package depends on fonts-liberation) is not.
    QFont font = QApplication::font();
    font.setFamilies({QStringLiteral("Liberation Sans")});
    QApplication::setFont(font);
}

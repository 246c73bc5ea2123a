#include "ui/platform/application_look.h"

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
    // column at the designed sizes. The desktop's usual sans-serif (DejaVu
    // Sans, 332 pixels for the widest mask and MAC line) and even Arial's
    // metrics (Liberation Sans, 300) are too wide for that; Carlito, a
    // humanist sans-serif with the metrics of Calibri, of the same Windows
    // font generation as the design's Segoe UI, draws it 259 pixels wide.
    // The package depends on its font package, fonts-crosextra-carlito.
    QFont font = QApplication::font();
    font.setFamilies({QStringLiteral("Carlito")});
    QApplication::setFont(font);
}

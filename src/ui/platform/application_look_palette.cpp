#include "ui/platform/application_look.h"

#include "ui/device_list/selection_highlight.h"

namespace {

// Light system colours of the Windows 10 desktop the design was made on.
constexpr QRgb Face = 0xFFF0F0F0;
constexpr QRgb Field = 0xFFFFFFFF;
constexpr QRgb Ink = 0xFF000000;
constexpr QRgb GreyedInk = 0xFF6D6D6D;

}  // namespace

QPalette LightPalette()
{
    QPalette palette(QColor::fromRgba(Ink), QColor::fromRgba(Face), QColor::fromRgba(0xFFFFFFFF),
                     QColor::fromRgba(0xFFA0A0A0), QColor::fromRgba(0xFFB4B4B4), QColor::fromRgba(Ink),
                     QColor::fromRgba(0xFFFFFFFF), QColor::fromRgba(Field), QColor::fromRgba(Face));
    palette.setColor(QPalette::AlternateBase, QColor::fromRgba(0xFFF7F7F7));
    palette.setColor(QPalette::Highlight, QColor::fromRgba(SelectionFill));
    palette.setColor(QPalette::HighlightedText, QColor::fromRgba(Ink));
    palette.setColor(QPalette::ToolTipBase, QColor::fromRgba(0xFFFFFFE1));
    palette.setColor(QPalette::ToolTipText, QColor::fromRgba(Ink));
    palette.setColor(QPalette::PlaceholderText, QColor::fromRgba(GreyedInk));
    palette.setColor(QPalette::Link, QColor::fromRgba(0xFF0066CC));
    palette.setColor(QPalette::LinkVisited, QColor::fromRgba(0xFF800080));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, QColor::fromRgba(GreyedInk));
    return palette;
}

#pragma once

#include <QColor>
#include <QRgb>

// The selected entry's highlight: the pale blue of the standard list look
// on the Windows 10 desktop, a fill inside a one-pixel border.
inline constexpr QRgb SelectionFill = 0xFFCCE8FF;
inline constexpr QRgb SelectionBorder = 0xFF99D1FF;

// The contrast ratio of two opaque colours as the web accessibility
// guidelines define it: (lighter luminance + 0.05) / (darker + 0.05), 1 to 21.
qreal ContrastRatio(const QColor& first, const QColor& second);

// A text colour as a selected entry draws it. The template's colours were
// chosen for white: a colour that keeps 3:1 against the highlight stays as
// it is, and so does a deliberately faint one (under 1.5:1 on white) that
// keeps as much as it has on white; any other is darkened, keeping its hue,
// just far enough to reach that.
QColor ReadableOnSelection(const QColor& text);

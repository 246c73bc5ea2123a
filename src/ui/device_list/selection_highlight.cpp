#include "ui/device_list/selection_highlight.h"

#include <algorithm>
#include <cmath>

namespace {

qreal Linear(qreal channel)
{
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

qreal Luminance(const QColor& colour)
{
    return 0.2126 * Linear(colour.redF()) + 0.7152 * Linear(colour.greenF()) + 0.0722 * Linear(colour.blueF());
}

// Anti-aliased strokes come out a little lighter than their colour: a
// darkened colour gets this much contrast to spare.
constexpr qreal Spare = 0.25;
constexpr qreal Wanted = 3;
// A line drawn fainter than this on white (the khaki mask line) is meant to
// recede: it keeps its own contrast instead of being made 3:1.
constexpr qreal FaintByDesign = 1.5;

}  // namespace

qreal ContrastRatio(const QColor& first, const QColor& second)
{
    const qreal one = Luminance(first), other = Luminance(second);
    return (std::max(one, other) + 0.05) / (std::min(one, other) + 0.05);
}

QColor ReadableOnSelection(const QColor& text)
{
    const QColor fill = QColor::fromRgba(SelectionFill);
    const qreal onWhite = ContrastRatio(text, Qt::white);
    const qreal wanted = onWhite < FaintByDesign ? onWhite : Wanted;
    if (ContrastRatio(text, fill) >= wanted)
        return text;
    QColor darker = text;
    for (int percent = 100; percent > 0 && ContrastRatio(darker, fill) < wanted + Spare; percent -= 2)
        darker.setRgbF(text.redF() * percent / 100, text.greenF() * percent / 100, text.blueF() * percent / 100);
    return darker;
}

#include "ui/device_list/entry_template.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace {

using CustomItem::Element;
using CustomItem::Elements;

// Elements of one band kind in placing order: leftmost bands left to right
// by designed x, top bands top to bottom by designed y.
std::vector<Element> BandOrder(TBand band, TVisibility visibility)
{
    std::vector<Element> order;
    for (std::size_t i = 0; i < Elements.size(); ++i) {
        const TTemplateElement& element = Elements[i];
        if (element.band == band && (visibility == TVisibility::AsDesigned || element.shownInEntry))
            order.push_back(static_cast<Element>(i));
    }
    std::stable_sort(order.begin(), order.end(), [band](Element a, Element b) {
        return band == TBand::Leftmost ? Elements[a].designed.x() < Elements[b].designed.x()
                                       : Elements[a].designed.y() < Elements[b].designed.y();
    });
    return order;
}

// Takes a leftmost band off the left edge of `space`.
QRect TakeLeftmost(QRect& space, const TTemplateElement& element)
{
    const QMargins& m = element.margins;
    const QRect band(space.left() + m.left(), space.top() + m.top(),
                     element.designed.width(), space.height() - m.top() - m.bottom());
    space.setLeft(band.right() + 1 + m.right());
    return band;
}

// Takes a top band off the top edge of `space`.
QRect TakeTop(QRect& space, const TTemplateElement& element)
{
    const QMargins& m = element.margins;
    const QRect band(space.left() + m.left(), space.top() + m.top(),
                     space.width() - m.left() - m.right(), element.designed.height());
    space.setTop(band.bottom() + 1 + m.bottom());
    return band;
}

}  // namespace

TElementRects LayOutBands(QSize rootSize, TVisibility visibility)
{
    TElementRects rects{};
    QRect space = QRect(QPoint(0, 0), rootSize).marginsRemoved(CustomItem::Padding);
    for (Element e : BandOrder(TBand::Leftmost, visibility))
        rects[e] = TakeLeftmost(space, Elements[e]);
    for (Element e : BandOrder(TBand::Top, visibility))
        rects[e] = TakeTop(space, Elements[e]);
    return rects;
}

TEntryLayout LayOutEntry(int width)
{
    TEntryLayout layout{LayOutBands(QSize(width, ItemHeight), TVisibility::InEntry), {}};
    const QRect band = layout.elements[CustomItem::Image];
    const QSize fitted = CustomItem::DevicePictureSize.scaled(band.size(), Qt::KeepAspectRatio);
    layout.devicePicture = QRect(QPoint(0, 0), fitted);
    layout.devicePicture.moveCenter(band.center());
    return layout;
}

namespace {

// The mark of a control character; none for any other character.
std::optional<QString> ControlMark(char16_t code)
{
    if (code < 0x20)
        return QStringLiteral("^") + QChar(char16_t(u'@' + code));
    if (code == 0x7F)
        return QStringLiteral("^?");
    if (code >= 0x80 && code < 0xA0)
        return QStringLiteral("<%1>").arg(int(code), 2, 16, QLatin1Char('0')).toUpper();
    return std::nullopt;
}

}  // namespace

std::vector<TShownPiece> ShownPieces(const QString& text)
{
    std::vector<TShownPiece> pieces;
    qsizetype plainStart = 0;
    const auto endPlainRun = [&](qsizetype end) {
        if (end > plainStart)
            pieces.push_back({text.mid(plainStart, end - plainStart), false});
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (std::optional<QString> mark = ControlMark(text[i].unicode())) {
            endPlainRun(i);
            pieces.push_back({std::move(*mark), true});
            plainStart = i + 1;
        }
    }
    endPlainRun(text.size());
    return pieces;
}

QString ShownText(const QString& text)
{
    QString shown;
    shown.reserve(text.size());
    for (const TShownPiece& piece : ShownPieces(text))
        shown += piece.text;
    return shown;
}

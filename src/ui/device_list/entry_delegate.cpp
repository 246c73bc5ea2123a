#include "ui/device_list/entry_delegate.h"

#include "quorvel_resources.h"
#include "ui/device_list/device_list_model.h"
#include "ui/device_list/selection_highlight.h"

#include <QFontMetrics>
#include <QPaintDevice>
#include <QPainter>
#include <QStyle>

namespace {

// Scaled smoothly for a pixel density, from the artwork drawn for the
// nearest density at or above it. The picture's size does not depend on the
// entry's width.
QPixmap ScaledDevicePicture(qreal density)
{
    const QSize size = LayOutEntry(0).devicePicture.size() * density;
    const QString artwork = density > 1 ? QStringLiteral(":/device@2x.png") : QStringLiteral(":/device.png");
    QPixmap picture = QPixmap::fromImage(ReadPictureResource(artwork)).scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    picture.setDevicePixelRatio(density);
    return picture;
}

QFont ElementFont(const TTemplateElement& element)
{
    QFont font;  // the look's default family
    if (element.kind == TElementKind::Text) {
        font.setPixelSize(element.fontPixelSize);
        font.setBold(element.bold);
    }
    return font;
}

// A control character's mark: its text inside a thin frame of the line's
// colour, a little apart from the text around it.
constexpr int MarkPadding = 2;
constexpr int MarkGap = 1;
constexpr qreal MarkFrameOpacity = 0.6;

}  // namespace

TEntryDelegate::TEntryDelegate(QObject* parent)
    : QAbstractItemDelegate(parent)
{
    for (std::size_t i = 0; i < fonts_.size(); ++i) {
        fonts_[i] = ElementFont(CustomItem::Elements[i]);
        const QColor colour = QColor::fromRgba(CustomItem::Elements[i].colour);
        colours_[i] = {colour, ReadableOnSelection(colour)};
    }
}

void TEntryDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    painter->save();  // the view paints every entry with the same painter
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    if (selected)
        DrawSelection(painter, option.rect);
    const TEntryLayout layout = LayOutEntry(option.rect.width());
    const QPoint origin = option.rect.topLeft();
    painter->drawPixmap(layout.devicePicture.translated(origin), DevicePicture(painter->device()->devicePixelRatioF()));

    const QStringList lines = index.data(TDeviceListModel::LinesRole).toStringList();
    for (std::size_t i = 0; i < CustomItem::TextElements.size() && i < std::size_t(lines.size()); ++i) {
        const CustomItem::Element element = CustomItem::TextElements[i];
        const QColor& colour = selected ? colours_[element].selected : colours_[element].plain;
        DrawLine(painter, element, layout.elements[element].translated(origin), colour, lines[qsizetype(i)]);
    }
    painter->restore();
}

QSize TEntryDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const
{
    // Width 0: the view stretches every entry to its viewport.
    return QSize(0, ItemHeight);
}

// Made again when the list is drawn at another density (the window has
// moved to a screen of another scale).
const QPixmap& TEntryDelegate::DevicePicture(qreal density) const
{
    if (devicePicture_.isNull() || devicePicture_.devicePixelRatio() != density)
        devicePicture_ = ScaledDevicePicture(density);
    return devicePicture_;
}

// Drawn here rather than by the style, so that it is the same pale highlight
// whatever the style and the desktop's palette: the template's colours are
// fixed and must stay readable on it.
void TEntryDelegate::DrawSelection(QPainter* painter, QRect entry) const
{
    painter->fillRect(entry, QColor::fromRgba(SelectionBorder));
    painter->fillRect(entry.adjusted(1, 1, -1, -1), QColor::fromRgba(SelectionFill));
}

void TEntryDelegate::DrawLine(QPainter* painter, CustomItem::Element element, QRect band, const QColor& colour,
                              const QString& text) const
{
    // One plain-text line, vertically centred in its band; TextDontClip lets
    // a long line run on past the column until the viewport cuts it off.
    const QFont& font = fonts_[element];
    const QFontMetrics metrics(font);
    painter->setFont(font);
    constexpr int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextDontClip;
    const std::vector<TShownPiece> pieces = ShownPieces(text);
    int x = band.left();
    for (const TShownPiece& piece : pieces) {
        painter->setPen(colour);
        if (!piece.isMark) {
            painter->drawText(QRect(x, band.top(), band.width(), band.height()), flags, piece.text);
            // Most lines are one plain run: measured only when a mark follows.
            if (&piece != &pieces.back())
                x += metrics.horizontalAdvance(piece.text);
            continue;
        }
        const QRect frame(x + MarkGap, band.center().y() - metrics.height() / 2,
                          metrics.horizontalAdvance(piece.text) + 2 * MarkPadding, metrics.height());
        painter->drawText(frame, Qt::AlignCenter | Qt::TextSingleLine | Qt::TextDontClip, piece.text);
        QColor frameColour = colour;
        frameColour.setAlphaF(MarkFrameOpacity);
        painter->setPen(frameColour);
        painter->drawRect(frame.adjusted(0, 0, -1, -1));
        x = frame.right() + 1 + MarkGap;
    }
}

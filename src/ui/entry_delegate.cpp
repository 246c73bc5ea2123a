#include "ui/entry_delegate.h"

#include "quorvel_resources.h"
#include "ui/device_list_model.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>

namespace {

// Scaled once, smoothly, for the screen's pixel density. The picture's size
// does not depend on the entry's width.
QPixmap ScaledDevicePicture()
{
    InitQuorvelResources();
    const qreal density = qApp->devicePixelRatio();
    const QSize size = LayOutEntry(0).devicePicture.size() * density;
    QPixmap picture = QPixmap(QStringLiteral(":/device.png")).scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
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

}  // namespace

TEntryDelegate::TEntryDelegate(QObject* parent)
    : QAbstractItemDelegate(parent)
    , m_devicePicture(ScaledDevicePicture())
{
    for (std::size_t i = 0; i < m_fonts.size(); ++i)
        m_fonts[i] = ElementFont(CustomItem::Elements[i]);
}

void TEntryDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    painter->save();  // the view paints every entry with the same painter
    DrawBackground(painter, option);
    const TEntryLayout layout = LayOutEntry(option.rect.width());
    const QPoint origin = option.rect.topLeft();
    painter->drawPixmap(layout.devicePicture.translated(origin), m_devicePicture);

    const QStringList lines = index.data(TDeviceListModel::LinesRole).toStringList();
    for (std::size_t i = 0; i < CustomItem::TextElements.size() && i < std::size_t(lines.size()); ++i) {
        const CustomItem::Element element = CustomItem::TextElements[i];
        DrawLine(painter, element, layout.elements[element].translated(origin), lines[qsizetype(i)]);
    }
    painter->restore();
}

QSize TEntryDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const
{
    // Width 0: the view stretches every entry to its viewport.
    return QSize(0, ItemHeight);
}

void TEntryDelegate::DrawBackground(QPainter* painter, const QStyleOptionViewItem& option) const
{
    QStyleOptionViewItem panel = option;
    panel.state &= ~QStyle::State_HasFocus;  // the list draws no focus effect
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &panel, painter, widget);
}

void TEntryDelegate::DrawLine(QPainter* painter, CustomItem::Element element, QRect band, const QString& text) const
{
    // One plain-text line, vertically centred in its band; TextDontClip lets
    // a long line run on past the column until the viewport cuts it off.
    painter->setFont(m_fonts[element]);
    painter->setPen(QColor::fromRgba(CustomItem::Elements[element].colour));
    painter->drawText(band, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextDontClip,
                      ShownText(text));
}

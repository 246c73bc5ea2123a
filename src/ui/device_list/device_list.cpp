#include "ui/device_list/device_list.h"

#include "ui/device_list/device_list_model.h"
#include "ui/device_list/device_page.h"
#include "ui/device_list/entry_delegate.h"
#include "ui/device_list/entry_template.h"

#include <QMouseEvent>
#include <QTimerEvent>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <array>

namespace {

// A wheel's notch, in the eighths of a degree that wheel events count in.
constexpr int NotchAngle = 120;
// How long entries appended below the viewport may wait to be laid out:
// only the scroll bar's range shows them meanwhile.
constexpr int PendingLayoutMilliseconds = 40;

// The element names as shared strings, so that entries hold no copies of them.
const std::array<QString, CustomItem::TextElements.size()>& TextElementNames()
{
    static const auto names = [] {
        std::array<QString, CustomItem::TextElements.size()> made;
        for (std::size_t i = 0; i < made.size(); ++i)
            made[i] = CustomItem::Elements[CustomItem::TextElements[i]].name;
        return made;
    }();
    return names;
}

// Where the nr_ip line lies among the text elements.
constexpr std::size_t NrIpLine =
    std::size_t(std::ranges::find(CustomItem::TextElements, CustomItem::NrIp) - CustomItem::TextElements.begin());

// The entry's values, each present field under the name of its element.
TStyleData ValuesOf(const TDeviceSummary& summary,
                    std::array<TRecentText, CustomItem::TextElements.size()>& recentLines)
{
    const auto& names = TextElementNames();
    TStyleData values;
    values.Reserve(names.size());
    for (std::size_t i = 0; i < CustomItem::TextElements.size(); ++i) {
        if (const auto& field = summary.*ShownField(CustomItem::TextElements[i]))
            values.SetNew(names[i], recentLines[i].Of(*field));  // each name once
    }
    return values;
}

}  // namespace

std::optional<std::string> TDeviceSummary::*ShownField(CustomItem::Element element)
{
    switch (element) {
    case CustomItem::NrIp: return &TDeviceSummary::nr_ip;
    case CustomItem::Info1: return &TDeviceSummary::info1;
    case CustomItem::Info2: return &TDeviceSummary::info2;
    case CustomItem::Info3: return &TDeviceSummary::info3;
    case CustomItem::Info4: return &TDeviceSummary::info4;
    case CustomItem::Info5: return &TDeviceSummary::info5;
    default: return nullptr;
    }
}

TDeviceList::TDeviceList(QWidget* parent)
    : QListView(parent)
    , entries_(new TDeviceListModel(this))
{
    setModel(entries_);
    setItemDelegate(new TEntryDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(false);
    // Every entry is ItemHeight high: the view need not measure each row.
    setUniformItemSizes(true);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // Long lines are cut off at the viewport's edge, never scrolled to.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

// The values are complete before the row appears: nothing can observe an
// entry between its placing and its values. The model drops an entry
// beyond its bound.
void TDeviceList::AddDeviceEntry(const TDeviceSummary& summary)
{
    entries_->AppendEntry(ValuesOf(summary, recentLines_));
}

void TDeviceList::AddDeviceEntry(const TDecodedReply& reply, const std::string& sender,
                                 const std::vector<std::string>& ownAddresses)
{
    TStyleData values = ValuesOf(reply.summary, recentLines_);
    // The reported address is the nr_ip line's text: one shared string.
    TDeviceFacts facts{recentLines_[NrIpLine].Of(*reply.summary.nr_ip), reply.facts.httpEnabled, reply.facts.httpPort,
                       recentSender_.Of(sender),
                       DevicePageState(reply.facts, *reply.summary.nr_ip, ownAddresses)};
    entries_->AppendEntry(std::move(values), std::move(facts));
}

void TDeviceList::HoldAppends()
{
    entries_->HoldAppends();
}

void TDeviceList::ReleaseAppends()
{
    entries_->ReleaseAppends();
}

void TDeviceList::Clear()
{
    pendingLayout_.stop();  // removing the rows lays the list out anew
    entries_->Clear();
    selectionModel()->clear();
}

const TDeviceListModel& TDeviceList::Entries() const
{
    return *entries_;
}

bool TDeviceList::IsOnDevicePicture(QPoint viewportPosition) const
{
    const QModelIndex entry = indexAt(viewportPosition);
    if (!entry.isValid())
        return false;
    const QRect entryRect = visualRect(entry);
    const QRect pictureBand = LayOutEntry(entryRect.width()).elements[CustomItem::Image];
    return pictureBand.translated(entryRect.topLeft()).contains(viewportPosition);
}

bool TDeviceList::PictureTakesPress(QMouseEvent* event)
{
    pictureHasPointer_ = IsOnDevicePicture(event->position().toPoint());
    if (pictureHasPointer_)
        event->accept();
    return pictureHasPointer_;
}

void TDeviceList::mousePressEvent(QMouseEvent* event)
{
    if (!PictureTakesPress(event))
        QListView::mousePressEvent(event);
}

void TDeviceList::mouseMoveEvent(QMouseEvent* event)
{
    if (pictureHasPointer_)
        event->accept();
    else
        QListView::mouseMoveEvent(event);
}

void TDeviceList::mouseReleaseEvent(QMouseEvent* event)
{
    if (std::exchange(pictureHasPointer_, false))
        event->accept();
    else
        QListView::mouseReleaseEvent(event);
}

void TDeviceList::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (!PictureTakesPress(event))
        QListView::mouseDoubleClickEvent(event);
}

// Qt scrolls a notch by the scroll bar's single step (one entry here) times
// the desktop's lines per notch, three by default: beyond the viewport. A
// notch scrolls one entry instead; a finer wheel scrolls its share of one.
void TDeviceList::wheelEvent(QWheelEvent* event)
{
    const int angle = event->angleDelta().y();
    if (angle == 0 || event->modifiers() != Qt::NoModifier) {
        QListView::wheelEvent(event);
        return;
    }
    if ((angle > 0) != (wheelRemainder_ > 0))
        wheelRemainder_ = 0;  // a turn the other way forgets the rest
    wheelRemainder_ += angle * ItemHeight;
    const int pixels = wheelRemainder_ / NotchAngle;
    wheelRemainder_ -= pixels * NotchAngle;
    QScrollBar* bar = verticalScrollBar();
    const int before = bar->value();
    bar->setValue(before - pixels);
    // At either end the wheel goes on to whatever holds the list.
    event->setAccepted(bar->value() != before || pixels == 0);
}

// QListView lays every row out again whenever one is inserted, so each
// append would cost more than the one before. An entry appended below the
// viewport shows nowhere yet but in the scroll bar's range: such entries are
// laid out together, at most every PendingLayoutMilliseconds, and appending
// costs the same at the ten-thousandth entry as at the first.
void TDeviceList::rowsInserted(const QModelIndex& parent, int start, int end)
{
    const bool belowViewport = qint64(start) * ItemHeight >= verticalOffset() + viewport()->height();
    if (belowViewport && !parent.isValid()) {
        if (!pendingLayout_.isActive())
            pendingLayout_.start(PendingLayoutMilliseconds, this);
        return;
    }
    pendingLayout_.stop();
    QListView::rowsInserted(parent, start, end);
}

void TDeviceList::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != pendingLayout_.timerId()) {
        QListView::timerEvent(event);
        return;
    }
    pendingLayout_.stop();
    doItemsLayout();
}

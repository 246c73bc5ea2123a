#pragma once

#include "discovery/device_summary.h"
#include "ui/device_list/device_facts.h"
#include "ui/device_list/entry_template.h"
#include "ui/device_list/recent_text.h"

#include <QBasicTimer>
#include <QListView>

#include <array>
#include <optional>
#include <string>
#include <vector>

class TDeviceListModel;

// The summary's field that a text element of an entry shows: nr_ip's for
// NrIp, info1's for Info1, and so on; none for a picture element.
std::optional<std::string> TDeviceSummary::*ShownField(CustomItem::Element element);

// The device list ListBox1: one 128-high entry per accepted reply, drawn from
// the entry template CustomItem, in the order of appending. Single selection;
// the device picture of an entry takes clicks itself, so a click there does
// not select the entry. One notch of the wheel scrolls one entry, and so
// does the scroll bar's arrow; page up and down scroll one viewport.
class TDeviceList : public QListView {
    Q_OBJECT
public:
    explicit TDeviceList(QWidget* parent = nullptr);

    // Appends one entry at the end without scrolling or changing the
    // selection, unless the list is full (TDeviceListModel::MaxEntries);
    // each present field replaces the default "Text" of the line of the
    // same name (an empty one blanks it), an absent one leaves it.
    void AddDeviceEntry(const TDeviceSummary& summary);
    // The same for a device's reply received from `sender`, keeping the
    // device's facts beside the lines (the double-click opens the device's
    // page from them, never at one of `ownAddresses`, this machine's).
    void AddDeviceEntry(const TDecodedReply& reply, const std::string& sender,
                        const std::vector<std::string>& ownAddresses);
    // Appends wait from now on, and become rows together at ReleaseAppends().
    void HoldAppends();
    void ReleaseAppends();
    // Removes every entry; nothing is selected afterwards.
    void Clear();

    // The entries, for reading back what they show and the devices' facts
    // (copying, tests), and whether the list is full.
    const TDeviceListModel& Entries() const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void rowsInserted(const QModelIndex& parent, int start, int end) override;

private:
    bool IsOnDevicePicture(QPoint viewportPosition) const;
    // A press or double-click on a device picture is the picture's: it
    // takes the event, and the gesture, away from the list.
    bool PictureTakesPress(QMouseEvent* event);

    TDeviceListModel* entries_;  // owned by this view as its QObject child
    std::array<TRecentText, CustomItem::TextElements.size()> recentLines_;  // one per text element, in their order
    TRecentText recentSender_;
    bool pictureHasPointer_ = false;  // a press on a device picture owns the gesture until release
    int wheelRemainder_ = 0;  // eighths of a degree times ItemHeight, not yet scrolled
    QBasicTimer pendingLayout_;  // runs while appended entries wait to be laid out
};

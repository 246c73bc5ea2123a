#pragma once

#include "ui/device_list/device_facts.h"
#include "ui/device_list/style_data.h"

#include <QAbstractListModel>
#include <QStringList>

#include <cstddef>
#include <optional>
#include <vector>

// The device list's entries: one row per entry, in the order of appending,
// each holding the entry's named values. Rows are only ever appended or all
// removed at once. An entry made from a device's reply also keeps that
// device's facts as data; the sample entry has none.
class TDeviceListModel : public QAbstractListModel {
    Q_OBJECT
public:
    // The most entries the list holds. Far above what answers on one
    // network (a /16 holds 65,534 hosts), it bounds what a flood of replies
    // (a switching loop, a broken or hostile device) can make the program
    // keep: once the list is full, appending does nothing until Clear().
    static constexpr std::size_t MaxEntries = 100'000;

    enum Role {
        LinesRole = Qt::UserRole + 1,  // QStringList: the six lines as the entry shows them
        // The device's facts (TDeviceFacts); none of them for an entry without.
        ReportedIpRole,   // QString: the IP address the device reports
        HttpEnabledRole,  // bool: whether its web server is on
        HttpPortRole,     // int: the web server's port
        SenderRole,       // QString: the address the reply came from
        PageStateRole,    // int: TDevicePageState, what a double-click opens
    };

    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    // The view calls this for every row each time it lays the list out: keep it cheap.
    QModelIndex index(int row, int column = 0, const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Appends one entry after the last one (insert-rows signals, no reset),
    // unless the list is full. While appends are held, the entry waits and
    // becomes a row at the release.
    void AppendEntry(TStyleData values, std::optional<TDeviceFacts> facts = std::nullopt);
    // Entries appended from now on wait; ReleaseAppends() makes them rows
    // together, with one insertion notice, as the view lays out and paints
    // only after a burst anyway.
    void HoldAppends() { holding_ = true; }
    void ReleaseAppends();
    // Removes every entry, waiting ones included; does nothing when there is none.
    void Clear();
    // The entries appended so far, rows and waiting ones.
    std::size_t EntryCount() const { return entries_.size(); }
    // Whether MaxEntries have been appended: appending does nothing then.
    bool IsFull() const { return EntryCount() >= MaxEntries; }

    // The texts of the six text elements, nr_ip first: a value that was set
    // (even an empty one), else the template's default text "Text".
    QStringList DisplayedLines(int row) const;
    // Those lines as one text, each as the entry draws it (control
    // characters as their marks): what copying takes and a screen reader
    // reads.
    QString ShownLines(int row) const;
    // A named value by name, letter case not significant; none if never set.
    std::optional<QString> NamedValue(int row, QAnyStringView name) const;

    // The device facts an entry's roles hold; none for an entry without.
    static std::optional<TDeviceFacts> FactsOf(const QModelIndex& entry);

private:
    struct TEntry {
        TStyleData values;
        std::optional<TDeviceFacts> facts;
    };
    // Every entry appended; the first rows_ of them are the rows views know
    // of, the rest wait for ReleaseAppends().
    std::vector<TEntry> entries_;
    std::size_t rows_ = 0;
    bool holding_ = false;
};

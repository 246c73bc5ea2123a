#include "ui/device_list/device_list_model.h"

#include "ui/device_list/device_page.h"
#include "ui/device_list/entry_template.h"


int TDeviceListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_);
}

QModelIndex TDeviceListModel::index(int row, int column, const QModelIndex& parent) const
{
    const bool inside = row >= 0 && std::size_t(row) < rows_ && column == 0 && !parent.isValid();
    return inside ? createIndex(row, 0) : QModelIndex();
}

QVariant TDeviceListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const std::optional<TDeviceFacts>& facts = entries_[std::size_t(index.row())].facts;
    switch (role) {
    case ReportedIpRole:
        return facts ? QVariant(facts->reportedIp) : QVariant();
    case HttpEnabledRole:
        return facts ? QVariant(facts->httpEnabled) : QVariant();
    case HttpPortRole:
        return facts ? QVariant(int(facts->httpPort)) : QVariant();
    case SenderRole:
        return facts ? QVariant(facts->sender) : QVariant();
    case PageStateRole:
        return facts ? QVariant(int(facts->page)) : QVariant();
    case Qt::ToolTipRole:
    case Qt::AccessibleDescriptionRole:
        return facts ? QVariant(DeviceEntryNote(*facts)) : QVariant();
    case LinesRole:
        return DisplayedLines(index.row());
    case Qt::AccessibleTextRole:
        return ShownLines(index.row());
    default:
        return {};
    }
}

Qt::ItemFlags TDeviceListModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void TDeviceListModel::AppendEntry(TStyleData values, std::optional<TDeviceFacts> facts)
{
    if (IsFull())
        return;
    entries_.push_back({std::move(values), std::move(facts)});
    if (!holding_)
        ReleaseAppends();
}

void TDeviceListModel::ReleaseAppends()
{
    holding_ = false;
    if (rows_ == entries_.size())
        return;
    // The waiting entries are in place already; they become rows here.
    beginInsertRows({}, static_cast<int>(rows_), static_cast<int>(entries_.size()) - 1);
    rows_ = entries_.size();
    endInsertRows();
}

void TDeviceListModel::Clear()
{
    if (rows_ == 0) {
        entries_ = {};
        return;
    }
    beginRemoveRows({}, 0, rowCount() - 1);
    entries_ = {};  // gives the memory back, not just the rows
    rows_ = 0;
    endRemoveRows();
}

QStringList TDeviceListModel::DisplayedLines(int row) const
{
    const TStyleData& entry = entries_.at(static_cast<std::size_t>(row)).values;
    QStringList lines;
    lines.reserve(static_cast<qsizetype>(CustomItem::TextElements.size()));
    for (CustomItem::Element element : CustomItem::TextElements)
        lines.append(entry.Value(CustomItem::Elements[element].name).value_or(CustomItem::DefaultText));
    return lines;
}

QString TDeviceListModel::ShownLines(int row) const
{
    QStringList lines = DisplayedLines(row);
    for (QString& line : lines)
        line = ShownText(line);
    return lines.join(u'\n');
}

std::optional<QString> TDeviceListModel::NamedValue(int row, QAnyStringView name) const
{
    return entries_.at(static_cast<std::size_t>(row)).values.Value(name);
}

std::optional<TDeviceFacts> TDeviceListModel::FactsOf(const QModelIndex& entry)
{
    const QVariant sender = entry.data(SenderRole);
    if (!sender.isValid())
        return std::nullopt;
    return TDeviceFacts{entry.data(ReportedIpRole).toString(), entry.data(HttpEnabledRole).toBool(),
                        static_cast<std::uint16_t>(entry.data(HttpPortRole).toInt()), sender.toString(),
                        static_cast<TDevicePageState>(entry.data(PageStateRole).toInt())};
}

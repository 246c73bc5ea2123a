#include "ui/device_list_model.h"

#include "ui/entry_template.h"

int TDeviceListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_entries.size());
}

QModelIndex TDeviceListModel::index(int row, int column, const QModelIndex& parent) const
{
    const bool inside = row >= 0 && std::size_t(row) < m_entries.size() && column == 0 && !parent.isValid();
    return inside ? createIndex(row, 0) : QModelIndex();
}

QVariant TDeviceListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    switch (role) {
    case LinesRole:
        return DisplayedLines(index.row());
    case Qt::AccessibleTextRole: {
        // What a screen reader reads is what the entry shows.
        QStringList lines = DisplayedLines(index.row());
        for (QString& line : lines)
            line = ShownText(line);
        return lines.join(QLatin1Char('\n'));
    }
    default:
        return {};
    }
}

Qt::ItemFlags TDeviceListModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void TDeviceListModel::AppendEntry(TStyleData values)
{
    const int row = rowCount();
    beginInsertRows({}, row, row);
    m_entries.push_back(std::move(values));
    endInsertRows();
}

void TDeviceListModel::Clear()
{
    if (m_entries.empty())
        return;
    beginRemoveRows({}, 0, rowCount() - 1);
    m_entries = {};  // gives the memory back, not just the rows
    endRemoveRows();
}

QStringList TDeviceListModel::DisplayedLines(int row) const
{
    const TStyleData& entry = m_entries.at(static_cast<std::size_t>(row));
    QStringList lines;
    lines.reserve(static_cast<qsizetype>(CustomItem::TextElements.size()));
    for (CustomItem::Element element : CustomItem::TextElements)
        lines.append(entry.Value(CustomItem::Elements[element].name).value_or(CustomItem::DefaultText));
    return lines;
}

std::optional<QString> TDeviceListModel::NamedValue(int row, QAnyStringView name) const
{
    return m_entries.at(static_cast<std::size_t>(row)).Value(name);
}

#include "ui/device_list/style_data.h"

#include <algorithm>

void TStyleData::Reserve(std::size_t count)
{
    values_.reserve(count);
}

void TStyleData::Set(const QString& name, const QString& text)
{
    const auto same = std::find_if(values_.begin(), values_.end(), [&name](const auto& value) {
        return value.first.compare(name, Qt::CaseInsensitive) == 0;
    });
    if (same != values_.end())
        same->second = text;
    else
        values_.emplace_back(name, text);
}

std::optional<QString> TStyleData::Value(QAnyStringView name) const
{
    for (const auto& [valueName, text] : values_) {
        if (QAnyStringView::compare(name, valueName, Qt::CaseInsensitive) == 0)
            return text;
    }
    return std::nullopt;
}

#include "ui/style_data.h"

#include <algorithm>

void TStyleData::Reserve(std::size_t count)
{
    m_values.reserve(count);
}

void TStyleData::Set(const QString& name, const QString& text)
{
    const auto same = std::find_if(m_values.begin(), m_values.end(), [&name](const auto& value) {
        return value.first.compare(name, Qt::CaseInsensitive) == 0;
    });
    if (same != m_values.end())
        same->second = text;
    else
        m_values.emplace_back(name, text);
}

std::optional<QString> TStyleData::Value(QAnyStringView name) const
{
    for (const auto& [valueName, text] : m_values) {
        if (QAnyStringView::compare(name, valueName, Qt::CaseInsensitive) == 0)
            return text;
    }
    return std::nullopt;
}

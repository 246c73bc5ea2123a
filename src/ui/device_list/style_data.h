#pragma once

#include <QString>
#include <QAnyStringView>

#include <optional>
#include <utility>
#include <vector>

// An entry's named values: at most one text per name, names compared
// without regard to letter case. A name that no element shows is kept too.
class TStyleData {
public:
    void Reserve(std::size_t count);
    // Stores the text, replacing an earlier text of the same name.
    void Set(const QString& name, const QString& text);
    // Stores a text under a name that holds none yet, without looking.
    void SetNew(const QString& name, const QString& text) { values_.emplace_back(name, text); }
    std::optional<QString> Value(QAnyStringView name) const;

private:
    std::vector<std::pair<QString, QString>> values_;  // (name, text), a handful per entry
};

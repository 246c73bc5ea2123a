#pragma once

#include <QHash>
#include <QString>

// Whether an effect trigger such as "IsMouseOver=true" holds for the given
// states of the effect's control. A trigger may list several conditions
// separated by ";"; the last one decides. A condition holds when its state
// exists and its value, written "True" or "False", equals the condition's
// value regardless of letter case.
bool TriggerHolds(const QString& trigger, const QHash<QString, bool>& states);

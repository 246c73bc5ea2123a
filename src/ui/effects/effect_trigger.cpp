#include "ui/effects/effect_trigger.h"

#include <QStringList>

bool TriggerHolds(const QString& trigger, const QHash<QString, bool>& states)
{
    const QStringList conditions = trigger.split(u';', Qt::SkipEmptyParts);
    if (conditions.isEmpty())
        return false;
    const QStringList nameAndValue = conditions.last().split(u'=');
    if (nameAndValue.size() != 2)
        return false;
    const auto state = states.constFind(nameAndValue[0].trimmed());
    if (state == states.constEnd())
        return false;
    const QString written = *state ? QStringLiteral("True") : QStringLiteral("False");
    return written.compare(nameAndValue[1].trimmed(), Qt::CaseInsensitive) == 0;
}

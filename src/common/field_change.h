#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace vardex {

// One field a write would change on the controller, named as the pages name it.
struct FieldChange {
    QString key;     // stable name for scripts: "analogAlarmLow.3", "timerOn"
    QString caption; // "Аналоги / А3_5В / Нижний", "Контур 13 / Дополнительно / Диммер"
    QString controller; // the value the controller holds, as the page shows it
    QString file;       // the value the write would leave
    int loop = 0;       // 1..26 for a loop field, 0 for the configuration
};

using FieldChanges = std::vector<FieldChange>;

// "caption: controller → file", one line per field.
inline QStringList changeLines(const FieldChanges &changes)
{
    QStringList lines;
    for (const FieldChange &c : changes)
        lines << QStringLiteral("%1: %2 → %3").arg(c.caption, c.controller, c.file);
    return lines;
}

inline QString changeSummary(const FieldChanges &changes)
{
    return changes.empty() ? QStringLiteral("Запись ничего не изменит: контроллер хранит то же.")
                           : QStringLiteral("Запись изменит полей: %1 (контроллер → запись).")
                                 .arg(changes.size());
}

} // namespace vardex

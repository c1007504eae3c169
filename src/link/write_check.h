#pragma once

#include "link/operation.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace vardex::link {

// A write that was read back: how the write and the read-back went, and which parts
// (configuration pages, loops) the controller holds otherwise than written.
struct WriteCheck {
    OpResult result;            // Done: written and read back
    std::vector<int> differing; // the parts read back unlike written
    bool verified() const { return result.ok() && differing.empty(); }
};

// One line for the hint line or the command line: "записано и проверено", which
// parts differ ("прочитано иначе: страницы 1, 3"), or why nothing could be checked.
// parts is the plural noun the numbers follow ("страницы", "контуры").
inline QString writeCheckText(const WriteCheck &check, const QString &parts)
{
    if (check.verified())
        return QStringLiteral("записано и проверено");
    QStringList numbers;
    for (int n : check.differing)
        numbers << QString::number(n);
    if (!numbers.isEmpty())
        return QStringLiteral("записано, но прочитано иначе: %1 %2")
            .arg(parts, numbers.join(QStringLiteral(", ")));
    switch (check.result.status) {
    case OpStatus::Cancelled:
        return QStringLiteral("запись прервана, не проверено");
    case OpStatus::Disconnected:
        return QStringLiteral("контроллер отключен, не проверено");
    case OpStatus::ErrorReply:
        return QStringLiteral("контроллер отказал (ERR), не проверено");
    default:
        return check.result.message.isEmpty()
                   ? QStringLiteral("контроллер не ответил при проверке, не проверено")
                   : check.result.message;
    }
}

} // namespace vardex::link

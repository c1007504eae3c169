#pragma once

#include "link/operation.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace vardex::link {

// A write that was read back: how the write and the read-back went, and which parts
// (configuration pages, loops) the controller holds otherwise than written.
struct WriteCheck {
    OpResult result;             // Done: written and read back
    std::vector<int> differing;  // the parts read back unlike written
    std::vector<int> notWritten; // acknowledged with the error reply, or not at all
    // The engineer changed the parts written while the transfer ran: those edits are in
    // the image, not in the controller.
    bool editedMeanwhile = false;
    bool verified() const { return result.ok() && differing.empty() && notWritten.empty(); }
};

// The line without the note on edits made meanwhile.
inline QString writeCheckOutcome(const WriteCheck &check, const QString &parts)
{
    if (check.verified())
        return QStringLiteral("записано и проверено");
    const auto list = [](const std::vector<int> &numbers) {
        QStringList texts;
        for (int n : numbers)
            texts << QString::number(n);
        return texts.join(QStringLiteral(", "));
    };
    // A part the controller refused (or never acknowledged) is not written, whatever a
    // read-back finds there: the controller may simply have held the same already.
    if (!check.notWritten.empty()) {
        QString text = QStringLiteral("не записано: %1 %2").arg(parts, list(check.notWritten));
        if (!check.differing.empty())
            text += QStringLiteral("; прочитано иначе: %1").arg(list(check.differing));
        else if (!check.result.ok())
            text += QStringLiteral("; остальное не проверено");
        return text;
    }
    if (!check.differing.empty())
        return QStringLiteral("записано, но прочитано иначе: %1 %2")
            .arg(parts, list(check.differing));
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

// One line for the hint line or the command line: "записано и проверено", which
// parts differ ("прочитано иначе: страницы 1, 3"), or why nothing could be checked.
// parts is the plural noun the numbers follow ("страницы", "контуры").
inline QString writeCheckText(const WriteCheck &check, const QString &parts)
{
    const QString text = writeCheckOutcome(check, parts);
    return check.editedMeanwhile
               ? text + QStringLiteral("; правки, сделанные во время записи, не записаны")
               : text;
}

} // namespace vardex::link

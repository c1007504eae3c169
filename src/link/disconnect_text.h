#pragma once

#include "link/operation.h"

#include <QString>

namespace vardex::link {

// What the engineer is told when the controller went away during an exchange: the
// true reason, instead of "no reply" or a failed check that only followed from it.
inline const QString kDisconnectedText = QStringLiteral("Контроллер отключен");

inline bool deviceLost(const OperationContext &ctx)
{
    return ctx.cancelled() && ctx.cancelReason() == OpStatus::Disconnected;
}

} // namespace vardex::link

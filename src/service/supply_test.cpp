#include "service/supply_test.h"

#include "link/operation.h"
#include "link/protocol.h"

namespace vardex::service {

std::optional<SupplyReading> readSupplyPoint(link::OperationContext &ctx)
{
    ctx.send(link::protocol::readState(0));
    if (!ctx.waitReply(kSupplyTestReplyTimeoutMs) || ctx.lastReplyWasError())
        return std::nullopt;
    const auto &values = ctx.image().state.analogValues;
    return SupplyReading{values[2], values[0]};
}

} // namespace vardex::service

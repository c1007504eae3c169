#include "config/cfg_exchange.h"

#include "link/protocol.h"

namespace vardex::config {

ReadOutcome readConfig(link::OperationContext &ctx, const link::ShowMessage &showMessage)
{
    if (!link::readConfiguration(ctx, showMessage))
        return ReadOutcome::NoReply;
    if (ctx.waitReply(kPage3WaitMs))
        return ReadOutcome::Complete;
    ctx.waitReply(link::kConfigPageTimeoutMs - kPage3WaitMs);
    return ReadOutcome::Page3Late;
}

link::OpResult writeConfig(link::OperationContext &ctx)
{
    for (int page = 0; page < link::protocol::kConfigPages; ++page) {
        if (page > 0)
            ctx.waitReply(kWritePageWaitMs);
        const auto request = link::protocol::writeConfigPage(page, ctx.image().config);
        if (request)
            ctx.send(*request.payload);
    }
    ctx.waitReply(kWritePageWaitMs);
    if (ctx.cancelled())
        return link::OpResult::fail(ctx.cancelReason());
    return link::OpResult::done();
}

} // namespace vardex::config

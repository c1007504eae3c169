#include "config/cfg_exchange.h"

#include "config/config_diff.h"
#include "link/protocol.h"
#include "link/read_aside.h"

#include <algorithm>

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

link::WriteCheck writeConfig(link::OperationContext &ctx)
{
    // Sent from a copy: what the engineer edits while the pages go out waits for the
    // next write instead of mixing into this one.
    const link::MonitorConfig sent = ctx.image().config;
    link::WriteCheck check;
    for (int page = 0; page < link::protocol::kConfigPages; ++page) {
        const auto request = link::protocol::writeConfigPage(page, sent);
        if (request)
            ctx.send(*request.payload);
        // The next page goes after at most 200 ms whatever this one's answer did.
        const bool acked = ctx.waitReply(kWritePageWaitMs) && !ctx.lastReplyWasError();
        if (!request || !acked)
            check.notWritten.push_back(page);
    }
    if (ctx.cancelled())
        check.result = link::OpResult::fail(ctx.cancelReason());
    return check;
}

link::WriteCheck writeConfigChecked(link::OperationContext &ctx)
{
    const link::MonitorConfig wanted = ctx.image().config;
    link::WriteCheck check = writeConfig(ctx);
    if (!check.result.ok())
        return check;
    const link::ReadAside aside(ctx.image(), link::ReadAside::What::Config);
    const ReadOutcome back = readConfig(ctx, {});
    if (ctx.cancelled()) {
        check.result = link::OpResult::fail(ctx.cancelReason());
    } else if (back != ReadOutcome::Complete) {
        check.result = link::OpResult::fail(
            link::OpStatus::NoReply, 0,
            QStringLiteral("записано, но не проверено: конфигурация не прочитана обратно"));
    } else {
        // Only a whole read-back speaks for the version bytes; they never travel in a write.
        ctx.image().config.firmwareVersion = aside.config().firmwareVersion;
        ctx.image().config.buildVariant = aside.config().buildVariant;
        for (int page : differingPages(aside.config(), wanted))
            if (std::find(check.notWritten.begin(), check.notWritten.end(), page) ==
                check.notWritten.end())
                check.differing.push_back(page);
    }
    check.editedMeanwhile = !differingPages(ctx.image().config, wanted).empty();
    return check;
}

} // namespace vardex::config

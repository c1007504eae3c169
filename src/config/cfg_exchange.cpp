#include "config/cfg_exchange.h"

#include "config/config_diff.h"
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

link::WriteCheck writeConfigChecked(link::OperationContext &ctx)
{
    const link::MonitorConfig wanted = ctx.image().config;
    link::WriteCheck check;
    check.result = writeConfig(ctx);
    if (!check.result.ok())
        return check;
    // A page that never comes back must not pass for the written one still in the image.
    ctx.image().config = {};
    QString noReply;
    const ReadOutcome back = readConfig(ctx, [&noReply](const QString &text) { noReply = text; });
    const link::MonitorConfig held = ctx.image().config;
    ctx.image().config = wanted;
    ctx.image().config.firmwareVersion = held.firmwareVersion;
    ctx.image().config.buildVariant = held.buildVariant;
    if (ctx.cancelled())
        check.result = link::OpResult::fail(ctx.cancelReason());
    else if (back != ReadOutcome::Complete)
        check.result = link::OpResult::fail(
            link::OpStatus::NoReply, 0,
            QStringLiteral("записано, но не проверено: конфигурация не прочитана обратно"));
    else
        check.differing = differingPages(held, wanted);
    return check;
}

} // namespace vardex::config

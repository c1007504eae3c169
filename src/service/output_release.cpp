#include "service/output_release.h"

#include "link/protocol.h"
#include "link/reply_table.h"
#include "service/watchdog_output.h"
#include "work/description_text.h"

namespace vardex::service {

namespace {

bool outputOn(const link::MonitorState &state, int index)
{
    if (index < 0 || index >= kWatchdogOutputItems)
        return false;
    const std::uint8_t byte = index < 8 ? state.switches : state.relays;
    return (byte >> (index < 8 ? index : index - 8)) & 1u;
}

} // namespace

OutputRelease releaseOutput(link::OperationContext &ctx, link::OutputTask &task, int index)
{
    OutputRelease r;
    setWatchdogOutput(task, index, false);
    if (!ctx.hasDevice() || ctx.cancelled())
        return r;
    ctx.send(link::protocol::writeOutputTask(task));
    if (!ctx.waitReply(kReleaseReplyMs) || ctx.lastReplyWasError())
        return r;
    ctx.send(link::protocol::readState(0));
    if (!ctx.waitReply(kReleaseReplyMs) || ctx.lastReplyWasError() ||
        link::isErrorReply(ctx.lastReply())) {
        r.outcome = OutputRelease::Outcome::NotReadBack;
        return r;
    }
    r.outcome = outputOn(ctx.image().state, index) ? OutputRelease::Outcome::StillOn
                                                   : OutputRelease::Outcome::Off;
    return r;
}

QString readSerial(link::OperationContext &ctx)
{
    if (!ctx.hasDevice() || ctx.cancelled())
        return QString();
    ctx.send(link::protocol::readIdentity());
    if (!ctx.waitReply(kReleaseReplyMs) || ctx.lastReplyWasError())
        return QString();
    return work::serialNumberText(ctx.lastReply());
}

QString releaseFailureText(OutputRelease::Outcome outcome)
{
    switch (outcome) {
    case OutputRelease::Outcome::Off:
        return QString();
    case OutputRelease::Outcome::NotWritten:
        return QStringLiteral("выключение не подтверждено контроллером");
    case OutputRelease::Outcome::NotReadBack:
        return QStringLiteral("выключение записано, но состояние не прочитано обратно");
    case OutputRelease::Outcome::StillOn:
        return QStringLiteral("после выключения выход прочитан включённым");
    }
    return QString();
}

} // namespace vardex::service

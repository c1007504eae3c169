#include "work/work_transfer.h"

#include "link/protocol.h"
#include "link/reply_table.h"
#include "signed/digest.h"
#include "work/description_text.h"

#include <cstdlib>

namespace vardex::work {

bool readState(link::OperationContext &ctx, std::span<const Exchange> exchanges)
{
    return runExchanges(exchanges, [&ctx](const Exchange &e) {
        ctx.send(requestPayload(e.request));
        return ctx.waitReply(e.timeoutMs);
    });
}

void sendOutputTask(link::OperationContext &ctx)
{
    ctx.send(link::protocol::writeOutputTask(ctx.image().outputTask));
}

Acknowledged sendOutputTaskAwaited(link::OperationContext &ctx, int timeoutMs)
{
    sendOutputTask(ctx);
    if (!ctx.waitReply(timeoutMs))
        return Acknowledged::No;
    return ctx.lastReplyWasError() ? Acknowledged::Refused : Acknowledged::Yes;
}

ClockReadResult readClock(link::OperationContext &ctx)
{
    ClockReadResult r;
    ctx.send(link::protocol::readClock());
    // The error reply has been reported and brought no clock.
    if (!ctx.waitReply(kClockReadTimeoutMs) || link::isErrorReply(ctx.lastReply()))
        return r;
    r.answered = true;
    r.clock = ctx.image().clock;
    r.text = clockText(r.clock);
    return r;
}

void setClock(link::OperationContext &ctx, const QDateTime &local)
{
    ctx.send(clockSetRequest(local));
}

ClockSetCheck setClockChecked(link::OperationContext &ctx, const std::function<QDateTime()> &now)
{
    setClock(ctx, now());
    const ClockReadResult back = readClock(ctx);
    ClockSetCheck check;
    check.answered = back.answered;
    const link::DeviceClock &c = back.clock;
    const QDateTime held(QDate(2000 + c.year, c.month, c.day), QTime(c.hour, c.minute, c.second));
    if (back.answered && back.text && held.isValid()) {
        QDateTime reference = now();
        reference.setTime(
            QTime(reference.time().hour(), reference.time().minute(), reference.time().second()));
        check.offsetSeconds = reference.secsTo(held);
    }
    return check;
}

std::optional<QString> clockSetFailure(const ClockSetCheck &check)
{
    if (!check.answered)
        return QStringLiteral("часы не прочитаны обратно после установки");
    if (!check.offsetSeconds)
        return QStringLiteral("часы не установлены: контроллер вернул неверную дату");
    if (std::abs(*check.offsetSeconds) > kClockToleranceSeconds)
        return QStringLiteral("часы не установлены: после записи они расходятся с "
                              "компьютером на %1 с")
            .arg(*check.offsetSeconds);
    return std::nullopt;
}

void generateKey(link::OperationContext &ctx)
{
    ctx.image().generatedKey.fill(0);
    ctx.send(link::protocol::generateKey());
    ctx.waitReply(kKeyWaitMs);
}

void readOpenKey(link::OperationContext &ctx)
{
    ctx.image().openKey.fill(0);
    ctx.send(link::protocol::readOpenKey());
    ctx.waitReply(kKeyWaitMs);
}

void sendHash(link::OperationContext &ctx)
{
    link::DeviceImage &image = ctx.image();
    image.hashDigest = sign::signedCommandDigest(image.openKey, image.generatedKey);
    ctx.send(link::protocol::sendHash(image.hashDigest));
    ctx.waitReply(kKeyWaitMs);
}

void resetHash(link::OperationContext &ctx)
{
    ctx.send(link::protocol::resetHash());
}

} // namespace vardex::work

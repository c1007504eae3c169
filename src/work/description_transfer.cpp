#include "work/description_transfer.h"

#include "link/config_transfer.h"
#include "link/protocol.h"
#include "link/reply_table.h"
#include "loops/loop_transfer.h"
#include "work/description_text.h"

#include <QElapsedTimer>

namespace vardex::work {

namespace {

// Why a wait ended without its reply: a stop, the controller gone, or no answer.
void stopped(link::OperationContext &ctx, DescriptionResult &r, int step = 0)
{
    const link::OpStatus why = ctx.cancelled() ? ctx.cancelReason() : link::OpStatus::NoReply;
    r.op = link::OpResult::fail(why, step);
    r.tell = why != link::OpStatus::Cancelled;
}

// The controller went away while the read ran (the window tells of a removal before
// a read by itself).
bool lostDuringRead(const link::OperationContext &ctx)
{
    return ctx.cancelled() && ctx.cancelReason() == link::OpStatus::Disconnected;
}

} // namespace

DescriptionResult readDescription(link::OperationContext &ctx, const DescriptionTimings &timings,
                                  const std::function<bool()> &controllerPresent)
{
    DescriptionResult r;
    if (!controllerPresent()) {
        r.op = link::OpResult::fail(link::OpStatus::Disconnected);
        return r;
    }
    QElapsedTimer elapsed;
    elapsed.start();
    link::BusyCursorScope cursor(ctx);
    auto timedEnd = [&] {
        r.timed = true;
        r.elapsedMs = elapsed.elapsed();
        return r;
    };

    // Configuration pages 0..2 are awaited by the run; page 3 here. A failed run did
    // not ask for page 3, so there is nothing to wait for (a late page reply must not
    // pass for it).
    if (!link::readConfiguration(ctx, {})) {
        stopped(ctx, r);
        return timedEnd();
    }
    if (!ctx.waitReply(timings.configPage3Ms)) {
        // Only the duration tells of it.
        r.op = link::OpResult::fail(ctx.cancelled() ? ctx.cancelReason() : link::OpStatus::Failed);
        return timedEnd();
    }
    r.configurationRead = true;

    loops::ReadAllOptions loopRead;
    loopRead.timeoutMs = timings.loopRecordMs;
    loopRead.stopAtMiss = true;
    loopRead.showProgress = false;
    r.op = loops::readAllLoops(ctx, loopRead);
    if (!r.op.ok()) {
        r.tell = r.op.status != link::OpStatus::Cancelled;
        return r;
    }
    // A controller pulled out during the last wait: nothing to enable any more.
    if (!controllerPresent()) {
        r.op = link::OpResult::fail(link::OpStatus::Disconnected);
        r.tell = lostDuringRead(ctx);
        return r;
    }
    r.described = true;

    ctx.pause(timings.identityPauseMs);
    const IdentityRead identity = readIdentity(ctx, timings.identityMs);
    if (!identity.answered) {
        stopped(ctx, r);
        return r;
    }
    if (!controllerPresent()) {
        r.op = link::OpResult::fail(link::OpStatus::Disconnected);
        r.tell = lostDuringRead(ctx);
        return r;
    }
    r.identityAnswered = true;
    // The error reply was reported already; its bytes are no serial number, but the
    // controller did answer, so the read ends as an answered one.
    if (identity.errorReply)
        r.op = link::OpResult::fail(link::OpStatus::ErrorReply);
    else
        r.serial = identity.serial;
    return timedEnd();
}

IdentityRead readIdentity(link::OperationContext &ctx, int timeoutMs)
{
    IdentityRead r;
    ctx.send(link::protocol::readIdentity());
    if (!ctx.waitReply(timeoutMs))
        return r;
    r.answered = true;
    r.errorReply = link::isErrorReply(ctx.lastReply());
    if (!r.errorReply)
        r.serial = serialNumberText(ctx.lastReply());
    return r;
}

} // namespace vardex::work

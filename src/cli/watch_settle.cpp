#include "cli/watch_settle.h"

#include "link/protocol.h"
#include "link/reply_table.h"
#include "service/watchdog_output.h"
#include "work/description_text.h"
#include "work/work_transfer.h"

namespace vardex::cli {

namespace {

constexpr int kIdentityWaitMs = 2000;
constexpr int kAckWaitMs = 500;
constexpr int kStateWaitMs = 500;

} // namespace

QString readControllerSerial(link::OperationContext &ctx)
{
    ctx.send(link::protocol::readIdentity());
    if (!ctx.waitReply(kIdentityWaitMs) || link::isErrorReply(ctx.lastReply()))
        return {};
    return work::serialNumberText(ctx.lastReply());
}

bool readOutputs(link::OperationContext &ctx)
{
    ctx.send(link::protocol::readState(0));
    return ctx.waitReply(kStateWaitMs) && !ctx.lastReplyWasError();
}

link::OutputTask taskOfState(const link::MonitorState &st)
{
    link::OutputTask t;
    t.relaysTask = st.relays;
    t.switchesTask = st.switches;
    t.ttlOutputsTask = st.ttlOutputs;
    t.fanTask = st.fanTasks;
    return t;
}

bool outputOnInState(const link::MonitorState &state, int item)
{
    link::OutputTask t = taskOfState(state);
    const link::OutputTask before = t;
    // Clearing the item changes the task exactly when the item is on.
    if (!service::setWatchdogOutput(t, item, false))
        return false;
    return t.relaysTask != before.relaysTask || t.switchesTask != before.switchesTask;
}

SwitchOffCheck confirmSwitchedOff(link::OperationContext &ctx, int item)
{
    if (!readOutputs(ctx))
        return SwitchOffCheck::NotReadBack;
    return outputOnInState(ctx.image().state, item) ? SwitchOffCheck::StillOn
                                                    : SwitchOffCheck::Confirmed;
}

SwitchOffCheck switchOffChecked(link::OperationContext &ctx, int item)
{
    // Never a task from guesses: without the outputs as they are, the others could be
    // switched off with it.
    if (!readOutputs(ctx))
        return SwitchOffCheck::NotSent;
    link::OutputTask task = taskOfState(ctx.image().state);
    service::setWatchdogOutput(task, item, false);
    ctx.image().outputTask = task;
    work::sendOutputTaskAwaited(ctx, kAckWaitMs);
    return confirmSwitchedOff(ctx, item);
}

} // namespace vardex::cli

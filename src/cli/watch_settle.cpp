#include "cli/watch_settle.h"

#include "service/watchdog_output.h"
#include "work/description_transfer.h"
#include "work/output_switch.h"

namespace vardex::cli {

namespace {

constexpr int kIdentityWaitMs = 2000;
constexpr int kAckWaitMs = 500;

} // namespace

QString readControllerSerial(link::OperationContext &ctx)
{
    return work::readIdentity(ctx, kIdentityWaitMs).serial;
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
    if (!work::readOutputsAndLoops(ctx))
        return SwitchOffCheck::NotReadBack;
    return outputOnInState(ctx.image().state, item) ? SwitchOffCheck::StillOn
                                                    : SwitchOffCheck::Confirmed;
}

SwitchOffCheck switchOffChecked(link::OperationContext &ctx, int item)
{
    // Never a task from guesses: without the outputs as they are, the others could be
    // switched off with it.
    const work::OutputSwitch sent = work::switchOutputs(
        ctx, [item](link::OutputTask &task) { service::setWatchdogOutput(task, item, false); },
        kAckWaitMs);
    if (!sent.read)
        return SwitchOffCheck::NotSent;
    return confirmSwitchedOff(ctx, item);
}

} // namespace vardex::cli

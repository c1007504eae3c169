#include "work/output_switch.h"

#include "work/loop_hold.h"
#include "work/state_reading.h"

#include <array>

namespace vardex::work {

namespace {

constexpr std::array<Exchange, 2> kOutputsRead = {{
    {StateRequest::State0, kOutputsReadMs, true},
    {StateRequest::State1, kOutputsReadMs, true},
}};

} // namespace

bool readOutputsAndLoops(link::OperationContext &ctx)
{
    return runExchanges(kOutputsRead, [&ctx](const Exchange &e) {
        ctx.send(requestPayload(e.request));
        // The error reply carries no state: the image would keep an older one.
        return ctx.waitReply(e.timeoutMs) && !ctx.lastReplyWasError();
    });
}

OutputSwitch switchOutputs(link::OperationContext &ctx,
                           const std::function<void(link::OutputTask &)> &change, int ackTimeoutMs)
{
    OutputSwitch r;
    if (!readOutputsAndLoops(ctx))
        return r;
    r.read = true;
    link::DeviceImage &image = ctx.image();
    // A loop's extended record names the outputs it drives; unread records are zero and
    // leave each loop its own output.
    const LoopExts *exts = image.hasExtendedLoops() ? &image.loopExts : nullptr;
    r.task = manualTaskOfState(image.state, image.outputTask, exts);
    change(r.task);
    image.outputTask = r.task;
    if (ackTimeoutMs > 0) {
        r.ack = sendOutputTaskAwaited(ctx, ackTimeoutMs);
    } else {
        sendOutputTask(ctx);
    }
    return r;
}

} // namespace vardex::work

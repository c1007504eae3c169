#include "loops/loop_transfer.h"

#include "link/disconnect_text.h"
#include "link/loop_verify.h"
#include "link/protocol.h"

namespace vardex::loops {

using link::protocol::LoopRecord;

LoopRecordsRead readLoopRecords(link::OperationContext &ctx, int n, int timeoutMs, bool stopOnMiss)
{
    LoopRecordsRead read;
    ctx.send(link::protocol::readLoop(n, LoopRecord::Main));
    read.main = ctx.waitReply(timeoutMs);
    if (ctx.cancelled() || (stopOnMiss && !read.main))
        return read;
    ctx.send(link::protocol::readLoop(n, LoopRecord::Extended));
    read.extended = ctx.waitReply(timeoutMs);
    return read;
}

link::OpResult readLoop(link::OperationContext &ctx, int n)
{
    readLoopRecords(ctx, n, kLoopReplyTimeoutMs);
    if (ctx.cancelled())
        return link::OpResult::fail(ctx.cancelReason(), n);
    return link::OpResult::done();
}

link::OpResult readAllLoops(link::OperationContext &ctx, const ReadAllOptions &options)
{
    std::optional<link::ProgressScope> progress;
    if (options.showProgress)
        progress.emplace(ctx, link::kLoopCount);
    for (int n = 1; n <= link::kLoopCount; ++n) {
        // One loop is one step: between two the link serves the others.
        if (n > 1)
            ctx.yieldLink();
        if (ctx.cancelled())
            return link::OpResult::fail(ctx.cancelReason(), n);
        const LoopRecordsRead read = readLoopRecords(ctx, n, options.timeoutMs, options.stopAtMiss);
        if (ctx.cancelled())
            return link::OpResult::fail(ctx.cancelReason(), n);
        if (options.stopAtMiss && !read.complete())
            return link::OpResult::fail(link::OpStatus::NoReply, n);
        if (read.extended && options.showProgress)
            ctx.setProgress(n);
    }
    return link::OpResult::done();
}

namespace {

// Why the run cannot go on: a stop, or a controller pulled out (then a failed
// read-back says nothing about the loop).
WriteOutcome whyStopped(const link::OperationContext &ctx)
{
    return link::deviceLost(ctx) ? WriteOutcome::Disconnected : WriteOutcome::Stopped;
}

WriteOutcome writeOne(link::OperationContext &ctx, int n, int timeoutMs, bool *extAcked)
{
    ctx.send(link::protocol::writeLoop(n, ctx.image().loop(n)));
    ctx.waitReply(timeoutMs);
    if (ctx.cancelled())
        return whyStopped(ctx);
    if (!link::verifyLoop(ctx, n))
        return ctx.cancelled() ? whyStopped(ctx) : WriteOutcome::VerifyFailed;
    ctx.send(link::protocol::writeLoopExt(n, ctx.image().loopExt(n)));
    *extAcked = ctx.waitReply(timeoutMs);
    return ctx.cancelled() ? whyStopped(ctx) : WriteOutcome::Written;
}

} // namespace

WriteOutcome writeLoop(link::OperationContext &ctx, int n)
{
    bool acked = false;
    return writeOne(ctx, n, kLoopReplyTimeoutMs, &acked);
}

WriteAllResult writeAllLoops(link::OperationContext &ctx)
{
    link::ProgressScope progress(ctx, link::kLoopCount);
    for (int n = 1; n <= link::kLoopCount; ++n) {
        // One loop (write, read-back, extended record) is one step.
        if (n > 1)
            ctx.yieldLink();
        if (ctx.cancelled())
            return {whyStopped(ctx), n};
        bool acked = false;
        const WriteOutcome outcome = writeOne(ctx, n, kWriteAllReplyTimeoutMs, &acked);
        if (outcome != WriteOutcome::Written)
            return {outcome, n};
        if (acked)
            ctx.setProgress(n);
    }
    return {};
}

} // namespace vardex::loops

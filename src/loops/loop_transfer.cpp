#include "loops/loop_transfer.h"

#include "link/disconnect_text.h"
#include "link/loop_verify.h"
#include "link/protocol.h"
#include "loops/loop_diff.h"

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

namespace {

// Marks the image's loops as in transfer for the life of a whole-set read or write.
class LoopTransferScope {
public:
    explicit LoopTransferScope(link::DeviceImage &image) : m_image(image)
    {
        ++m_image.loopTransfers;
    }
    ~LoopTransferScope() { --m_image.loopTransfers; }
    LoopTransferScope(const LoopTransferScope &) = delete;
    LoopTransferScope &operator=(const LoopTransferScope &) = delete;

private:
    link::DeviceImage &m_image;
};

} // namespace

link::OpResult readAllLoops(link::OperationContext &ctx, const ReadAllOptions &options)
{
    const LoopTransferScope transfer(ctx.image());
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
    const LoopTransferScope transfer(ctx.image());
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

namespace {

link::OpResult fromOutcome(WriteOutcome outcome, int loop)
{
    switch (outcome) {
    case WriteOutcome::Written:
        return link::OpResult::done();
    case WriteOutcome::VerifyFailed:
        return link::OpResult::fail(link::OpStatus::VerifyFailed, loop);
    case WriteOutcome::Stopped:
        return link::OpResult::fail(link::OpStatus::Cancelled, loop);
    case WriteOutcome::Disconnected:
        return link::OpResult::fail(link::OpStatus::Disconnected, loop);
    }
    return link::OpResult::fail(link::OpStatus::Failed, loop);
}

// Reads loops first..last back over a zeroed copy (a record that never comes cannot pass
// for the written one) and compares with what was written. One loop is one step: between
// two the link serves the others, and the image holds what was written again (the copy
// read back is kept aside), so what runs between the steps never sees a zeroed loop.
link::WriteCheck readBack(link::OperationContext &ctx, int first, int last)
{
    link::DeviceImage &image = ctx.image();
    const link::DeviceImage wanted = image;
    link::DeviceImage held = image;
    link::WriteCheck check;
    for (int n = first; n <= last && check.result.ok(); ++n) {
        if (n > first)
            ctx.yieldLink();
        if (ctx.cancelled()) {
            check.result = link::OpResult::fail(ctx.cancelReason(), n);
            break;
        }
        image.loop(n) = {};
        image.loopExt(n) = {};
        const LoopRecordsRead read = readLoopRecords(ctx, n, kLoopReplyTimeoutMs, true);
        held.loop(n) = image.loop(n);
        held.loopExt(n) = image.loopExt(n);
        image.loop(n) = wanted.loop(n);
        image.loopExt(n) = wanted.loopExt(n);
        if (ctx.cancelled())
            check.result = link::OpResult::fail(ctx.cancelReason(), n);
        else if (!read.complete())
            check.result = link::OpResult::fail(
                link::OpStatus::NoReply, n,
                QStringLiteral("записано, но не проверено: контур %1 не прочитан обратно").arg(n));
    }
    if (check.result.ok()) {
        for (int n : differingLoops(held, wanted, image.hasExtendedLoops()))
            if (n >= first && n <= last)
                check.differing.push_back(n);
    }
    return check;
}

} // namespace

link::WriteCheck writeLoopChecked(link::OperationContext &ctx, int n)
{
    const WriteOutcome outcome = writeLoop(ctx, n);
    if (outcome == WriteOutcome::VerifyFailed)
        return {fromOutcome(outcome, n), {n}};
    if (outcome != WriteOutcome::Written)
        return {fromOutcome(outcome, n), {}};
    return readBack(ctx, n, n);
}

link::WriteCheck writeAllLoopsChecked(link::OperationContext &ctx)
{
    const LoopTransferScope transfer(ctx.image());
    const WriteAllResult written = writeAllLoops(ctx);
    if (written.outcome == WriteOutcome::VerifyFailed)
        return {fromOutcome(written.outcome, written.failedLoop), {written.failedLoop}};
    if (written.outcome != WriteOutcome::Written)
        return {fromOutcome(written.outcome, written.failedLoop), {}};
    link::ProgressScope progress(ctx, link::kLoopCount);
    return readBack(ctx, 1, link::kLoopCount);
}

} // namespace vardex::loops

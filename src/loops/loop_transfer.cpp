#include "loops/loop_transfer.h"

#include "link/disconnect_text.h"
#include "link/loop_verify.h"
#include "link/protocol.h"
#include "link/read_aside.h"
#include "loops/loop_diff.h"

#include <algorithm>

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

// Sends loop n as the image holds it at the start of its step: an edit made while the
// records go out waits for the next write instead of mixing into this one. notWritten
// gets n when either record was refused or not acknowledged.
WriteOutcome writeOne(link::OperationContext &ctx, int n, int timeoutMs, bool *extAcked,
                      std::vector<int> *notWritten, link::DeviceImage *written)
{
    const link::UprLoopConfig record = ctx.image().loop(n);
    const link::UprLoopConfigExt ext = ctx.image().loopExt(n);
    if (written) {
        written->loop(n) = record;
        written->loopExt(n) = ext;
    }
    ctx.send(link::protocol::writeLoop(n, record));
    const bool mainAcked = ctx.waitReply(timeoutMs) && !ctx.lastReplyWasError();
    if (ctx.cancelled())
        return whyStopped(ctx);
    if (!link::verifyLoopAsSent(ctx, n, record))
        return ctx.cancelled() ? whyStopped(ctx) : WriteOutcome::VerifyFailed;
    ctx.send(link::protocol::writeLoopExt(n, ext));
    *extAcked = ctx.waitReply(timeoutMs) && !ctx.lastReplyWasError();
    if (ctx.cancelled())
        return whyStopped(ctx);
    if (notWritten && (!mainAcked || !*extAcked))
        notWritten->push_back(n);
    return WriteOutcome::Written;
}

} // namespace

WriteOutcome writeLoop(link::OperationContext &ctx, int n)
{
    bool acked = false;
    return writeOne(ctx, n, kLoopReplyTimeoutMs, &acked, nullptr, nullptr);
}

WriteAllResult writeAllLoops(link::OperationContext &ctx, link::DeviceImage *written)
{
    const LoopTransferScope transfer(ctx.image());
    link::ProgressScope progress(ctx, link::kLoopCount);
    WriteAllResult result;
    for (int n = 1; n <= link::kLoopCount; ++n) {
        // One loop (write, read-back, extended record) is one step.
        if (n > 1)
            ctx.yieldLink();
        if (ctx.cancelled()) {
            result.outcome = whyStopped(ctx);
            result.failedLoop = n;
            return result;
        }
        bool acked = false;
        const WriteOutcome outcome =
            writeOne(ctx, n, kWriteAllReplyTimeoutMs, &acked, &result.notWritten, written);
        if (outcome != WriteOutcome::Written) {
            result.outcome = outcome;
            result.failedLoop = n;
            return result;
        }
        if (acked)
            ctx.setProgress(n);
    }
    return result;
}

namespace {

// A loop the controller refused is reported as not written, not as read back otherwise.
void dropNotWritten(link::WriteCheck &check)
{
    std::erase_if(check.differing, [&check](int n) {
        return std::find(check.notWritten.begin(), check.notWritten.end(), n) !=
               check.notWritten.end();
    });
}

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

// Reads loops first..last back beside the image and compares them with what was written.
// One loop is one step: between two the link serves the others, and the image, never
// touched by the read, keeps what the engineer prepared or edits meanwhile.
link::WriteCheck readBack(link::OperationContext &ctx, const link::DeviceImage &written, int first,
                          int last)
{
    const link::ReadAside aside(ctx.image(), link::ReadAside::What::Loops);
    link::WriteCheck check;
    for (int n = first; n <= last && check.result.ok(); ++n) {
        if (n > first)
            ctx.yieldLink();
        if (ctx.cancelled()) {
            check.result = link::OpResult::fail(ctx.cancelReason(), n);
            break;
        }
        const LoopRecordsRead read = readLoopRecords(ctx, n, kLoopReplyTimeoutMs, true);
        if (ctx.cancelled())
            check.result = link::OpResult::fail(ctx.cancelReason(), n);
        else if (!read.complete())
            check.result = link::OpResult::fail(
                link::OpStatus::NoReply, n,
                QStringLiteral("записано, но не проверено: контур %1 не прочитан обратно").arg(n));
    }
    const bool ext = written.hasExtendedLoops();
    if (check.result.ok()) {
        for (int n : differingLoops(aside.held(), written, ext))
            if (n >= first && n <= last)
                check.differing.push_back(n);
    }
    for (int n : differingLoops(ctx.image(), written, ext))
        check.editedMeanwhile |= n >= first && n <= last;
    return check;
}

} // namespace

link::WriteCheck writeLoopChecked(link::OperationContext &ctx, int n)
{
    link::DeviceImage written = ctx.image();
    bool acked = false;
    std::vector<int> notWritten;
    const WriteOutcome outcome =
        writeOne(ctx, n, kLoopReplyTimeoutMs, &acked, &notWritten, &written);
    if (outcome == WriteOutcome::VerifyFailed)
        return {fromOutcome(outcome, n), {n}, {}};
    if (outcome != WriteOutcome::Written)
        return {fromOutcome(outcome, n), {}, {}};
    link::WriteCheck check = readBack(ctx, written, n, n);
    check.notWritten = notWritten;
    dropNotWritten(check);
    return check;
}

link::WriteCheck writeAllLoopsChecked(link::OperationContext &ctx)
{
    const LoopTransferScope transfer(ctx.image());
    // Each loop goes out as the image holds it when its step starts; the loops of an
    // earlier step are compared as they went out, so keep them as they were sent.
    link::DeviceImage written = ctx.image();
    const WriteAllResult all = writeAllLoops(ctx, &written);
    if (all.outcome == WriteOutcome::VerifyFailed)
        return {fromOutcome(all.outcome, all.failedLoop), {all.failedLoop}, all.notWritten};
    if (all.outcome != WriteOutcome::Written)
        return {fromOutcome(all.outcome, all.failedLoop), {}, all.notWritten};
    link::ProgressScope progress(ctx, link::kLoopCount);
    link::WriteCheck check = readBack(ctx, written, 1, link::kLoopCount);
    check.notWritten = all.notWritten;
    dropNotWritten(check);
    return check;
}

} // namespace vardex::loops

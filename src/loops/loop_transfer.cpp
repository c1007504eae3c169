#include "loops/loop_transfer.h"

#include "link/data_module.h"
#include "link/loop_verify.h"
#include "link/protocol.h"

namespace vardex::loops {

using link::protocol::LoopRecord;

namespace {

// Hides the progress bar however the run ends.
class ProgressGuard {
public:
    explicit ProgressGuard(link::DataModule &dm) : m_dm(dm) { m_dm.showProgress(true, 26); }
    ~ProgressGuard() { m_dm.showProgress(false, 0); }
    ProgressGuard(const ProgressGuard &) = delete;
    ProgressGuard &operator=(const ProgressGuard &) = delete;

private:
    link::DataModule &m_dm;
};

} // namespace

void readLoop(link::DataModule &dm, int n)
{
    dm.send(link::protocol::readLoop(n, LoopRecord::Main));
    dm.waitReply(kLoopReplyTimeoutMs);
    if (dm.isShuttingDown())
        return;
    dm.send(link::protocol::readLoop(n, LoopRecord::Extended));
    dm.waitReply(kLoopReplyTimeoutMs);
}

namespace {

WriteOutcome writeOne(link::DataModule &dm, int n, int timeoutMs, bool *extAcked)
{
    dm.send(link::protocol::writeLoop(n, dm.image().loop(n)));
    dm.waitReply(timeoutMs);
    if (dm.isShuttingDown())
        return WriteOutcome::Stopped;
    if (!link::verifyLoop(dm, n))
        return dm.isShuttingDown() ? WriteOutcome::Stopped : WriteOutcome::VerifyFailed;
    dm.send(link::protocol::writeLoopExt(n, dm.image().loopExt(n)));
    *extAcked = dm.waitReply(timeoutMs);
    return dm.isShuttingDown() ? WriteOutcome::Stopped : WriteOutcome::Written;
}

} // namespace

WriteOutcome writeLoop(link::DataModule &dm, int n)
{
    bool acked = false;
    return writeOne(dm, n, kLoopReplyTimeoutMs, &acked);
}

void readAllLoops(link::DataModule &dm)
{
    ProgressGuard progress(dm);
    for (int n = 1; n <= link::kLoopCount && !dm.isShuttingDown(); ++n) {
        dm.send(link::protocol::readLoop(n, LoopRecord::Main));
        dm.waitReply(kLoopReplyTimeoutMs);
        dm.send(link::protocol::readLoop(n, LoopRecord::Extended));
        if (dm.waitReply(kLoopReplyTimeoutMs))
            dm.setProgress(n);
    }
}

WriteAllResult writeAllLoops(link::DataModule &dm)
{
    ProgressGuard progress(dm);
    for (int n = 1; n <= link::kLoopCount; ++n) {
        bool acked = false;
        const WriteOutcome outcome = writeOne(dm, n, kWriteAllReplyTimeoutMs, &acked);
        if (outcome != WriteOutcome::Written)
            return {outcome, n};
        if (acked)
            dm.setProgress(n);
    }
    return {};
}

} // namespace vardex::loops

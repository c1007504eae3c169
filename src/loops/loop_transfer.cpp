#include "loops/loop_transfer.h"

#include "link/data_module.h"
#include "link/disconnect_text.h"
#include "link/loop_verify.h"
#include "link/protocol.h"

#include <optional>

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

// Why the run cannot go on, if it cannot.
std::optional<WriteOutcome> stopped(const link::DataModule &dm)
{
    if (dm.isShuttingDown())
        return WriteOutcome::Stopped;
    // A failed read-back after an unplug says nothing about the loop.
    if (link::deviceLost(dm))
        return WriteOutcome::Disconnected;
    return std::nullopt;
}

WriteOutcome writeOne(link::DataModule &dm, int n, int timeoutMs, bool *extAcked)
{
    dm.send(link::protocol::writeLoop(n, dm.image().loop(n)));
    dm.waitReply(timeoutMs);
    if (const auto why = stopped(dm))
        return *why;
    if (!link::verifyLoop(dm, n))
        return stopped(dm).value_or(WriteOutcome::VerifyFailed);
    dm.send(link::protocol::writeLoopExt(n, dm.image().loopExt(n)));
    *extAcked = dm.waitReply(timeoutMs);
    return stopped(dm).value_or(WriteOutcome::Written);
}

} // namespace

WriteOutcome writeLoop(link::DataModule &dm, int n)
{
    bool acked = false;
    return writeOne(dm, n, kLoopReplyTimeoutMs, &acked);
}

bool readAllLoops(link::DataModule &dm)
{
    ProgressGuard progress(dm);
    for (int n = 1; n <= link::kLoopCount && !dm.isShuttingDown(); ++n) {
        if (link::deviceLost(dm))
            return false;
        dm.send(link::protocol::readLoop(n, LoopRecord::Main));
        dm.waitReply(kLoopReplyTimeoutMs);
        dm.send(link::protocol::readLoop(n, LoopRecord::Extended));
        if (dm.waitReply(kLoopReplyTimeoutMs))
            dm.setProgress(n);
    }
    return !link::deviceLost(dm);
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

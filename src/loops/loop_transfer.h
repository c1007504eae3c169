#pragma once

#include "link/operation.h"
#include "link/write_check.h"

#include <optional>
#include <vector>

// Exchange sequences that move loop records between the image and the controller.
// Each runs as one operation of the data module (DataModule::runOperation), so no
// poll or other transfer interleaves with it; every step uses the loop number given.
namespace vardex::loops {

inline constexpr int kLoopReplyTimeoutMs = 1000;      // read/write of the current loop, read all
inline constexpr int kWriteAllReplyTimeoutMs = 10000; // acknowledgements of write all

// Which records of one loop were answered.
struct LoopRecordsRead {
    bool main = false;
    bool extended = false;
    bool complete() const { return main && extended; }
};

// The one loop read: the main record, then the extended one (asked whatever the
// firmware; an older controller answers with an empty record). With stopOnMiss a
// missing main reply ends it before the extended request.
LoopRecordsRead readLoopRecords(link::OperationContext &ctx, int n, int timeoutMs,
                                bool stopOnMiss = false);

// Main record, then the extended one; missing replies pass silently.
link::OpResult readLoop(link::OperationContext &ctx, int n);

struct ReadAllOptions {
    int timeoutMs = kLoopReplyTimeoutMs;
    // End at the first record not answered (NoReply, step = its loop); otherwise
    // every loop is asked for whatever the ones before did.
    bool stopAtMiss = false;
    // The progress bar, one step per loop whose extended record came.
    bool showProgress = true;
};

// All 26 loops, main and extended records.
link::OpResult readAllLoops(link::OperationContext &ctx, const ReadAllOptions &options = {});

enum class WriteOutcome {
    Written,
    VerifyFailed, // the main record may be in the controller; the extended one was not sent
    Stopped,      // stopped or the window is closing: nothing more was sent
    Disconnected, // the controller went away: nothing more was sent
};

// Main record, read-back check, then the extended record (whatever the firmware).
WriteOutcome writeLoop(link::OperationContext &ctx, int n);

struct WriteAllResult {
    WriteOutcome outcome = WriteOutcome::Written;
    int failedLoop = 0;          // the loop whose check failed
    std::vector<int> notWritten; // loops whose records were refused or not acknowledged
};

// All 26 loops with the read-back check of each; stops at the first failed check. Each
// loop goes out as the image holds it when its step starts; written, when given, gets
// the records as sent. The progress bar is hidden again on every way out.
WriteAllResult writeAllLoops(link::OperationContext &ctx, link::DeviceImage *written = nullptr);

// The writes above, then the loops written read back (both records, beside the image)
// and compared with what was sent; differing lists the loops the controller holds
// otherwise (extended records count on firmware that has them), notWritten the loops it
// refused or did not acknowledge whatever their read-back shows. The image is left to
// the editors: an edit made during the transfer stays.
link::WriteCheck writeLoopChecked(link::OperationContext &ctx, int n);
link::WriteCheck writeAllLoopsChecked(link::OperationContext &ctx);

} // namespace vardex::loops

#pragma once

namespace vardex::link {
class DataModule;
}

// Exchange sequences that move loop records between the image and the controller.
// Each is meant to run as one operation of the data module (DataModule::run), so no
// poll or other transfer interleaves with it; every step uses the loop number given.
namespace vardex::loops {

inline constexpr int kLoopReplyTimeoutMs = 1000;      // read/write of the current loop, read all
inline constexpr int kWriteAllReplyTimeoutMs = 10000; // acknowledgements of write all

// Main record, then the extended one; missing replies pass silently.
void readLoop(link::DataModule &dm, int n);

enum class WriteOutcome {
    Written,
    VerifyFailed, // the main record may be in the controller; the extended one was not sent
    Stopped,      // the window is closing: nothing more was sent
    Disconnected, // the controller went away: nothing more was sent
};

// Main record, read-back check, then the extended record (whatever the firmware).
WriteOutcome writeLoop(link::DataModule &dm, int n);

// All 26 loops, main and extended records, with the progress bar. False when the
// controller went away before the last loop.
bool readAllLoops(link::DataModule &dm);

struct WriteAllResult {
    WriteOutcome outcome = WriteOutcome::Written;
    int failedLoop = 0; // the loop whose check failed
};

// All 26 loops with the read-back check of each; stops at the first failed check.
// The progress bar is hidden again on every way out.
WriteAllResult writeAllLoops(link::DataModule &dm);

} // namespace vardex::loops

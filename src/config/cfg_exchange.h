#pragma once

#include "link/config_transfer.h"
#include "link/operation.h"
#include "link/write_check.h"

// The configuration read and write of the system page. Each is one exchange
// sequence; the caller runs it as one operation of the data module.
namespace vardex::config {

inline constexpr int kPage3WaitMs = 200;
inline constexpr int kWritePageWaitMs = 200;

enum class ReadOutcome {
    NoReply,   // pages 0..2: a reply missed, reported through showMessage
    Page3Late, // page 3 missed its 200 ms; the image may still take it, no refresh
    Complete,  // every page arrived in time: show it
};

// The four-page read, then the 200 ms wait for page 3. A late page 3 is still
// awaited (up to the page time-out) without refreshing anything, so it lands in
// the image inside this operation and cannot end the wait of the next one.
ReadOutcome readConfig(link::OperationContext &ctx, const link::ShowMessage &showMessage);

// Pages 0..3 of the configuration as it is at the start, each sent after at most 200 ms
// whatever the previous acknowledgement did. A page answered with the error reply or
// not at all is listed as not written. The version bytes never travel (page 0's request
// starts at HardwareConfigNumber). Cancelled when stopped part-way (pages after the stop
// were not sent).
link::WriteCheck writeConfig(link::OperationContext &ctx);

// The write, then the configuration read back beside the image and compared page by
// page on what travels. The image keeps the editors' content (edits made meanwhile
// included); only a read-back with every page in time verifies anything or brings the
// controller's version bytes, and a refused page stays "not written" whatever it reads.
link::WriteCheck writeConfigChecked(link::OperationContext &ctx);

} // namespace vardex::config

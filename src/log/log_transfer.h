#pragma once

#include "link/operation.h"
#include "log/log_record.h"
#include "log/record_store.h"

#include <functional>
#include <optional>
#include <vector>

// Reading the controller's event log: the ring positions, then records 1..N, each
// answered by two reports. Run inside a data-module operation.
namespace vardex::log {

inline constexpr int kLogPointerAddress = 6912;
inline constexpr int kRecordWaitMs = 100; // each of the two waits of a full read
inline constexpr int kSingleRecordWaitMs = 3000;
// Up to this many records the view follows the read record by record.
inline constexpr int kLiveViewLimit = 200;

// What a running full read tells the page.
struct FullReadObserver {
    // N is known; the store is about to be overwritten.
    std::function<void(int total)> started;
    // Slot n has been filled (with the record read, or the previous one when missing).
    std::function<void(int n, const LogRecord &working)> recordStored;
};

struct FullReadResult {
    link::OpResult result;    // Done, NoReply (ring positions), Cancelled, Disconnected
    int total = 0;            // N from the ring positions
    int read = 0;             // slots 1..read hold the log
    std::vector<int> missing; // slots whose record did not come, even when asked twice
    LogRecord working;        // the record the view shows afterwards
};

// The whole log into the store. Ring positions unanswered (or answered "ERR") ->
// NoReply and nothing changes; positions that stand for no records -> Done with
// total 0 and nothing changes. A record that does not come is asked once more; if
// it still does not, its slot repeats the working record and is listed as missing.
// A stop or an unplug ends the read after the record in hand; the slots filled so
// far are the log. The store is marked loaded with `read` records.
FullReadResult readFullLog(link::OperationContext &ctx, RecordStore &store, LogRecord working,
                           const FullReadObserver &observer = {});

// The two ring positions (memory 6912): the block the next record goes to and the
// oldest block. nullopt when unanswered or refused.
struct RingPositions {
    std::uint16_t next = 0;
    std::uint16_t oldest = 0;
};
std::optional<RingPositions> readRingPositions(link::OperationContext &ctx);

// One record by index, both reports awaited; nullopt when either does not come.
std::optional<LogRecord> readSingleRecord(link::OperationContext &ctx, int index,
                                          int timeoutMs = kSingleRecordWaitMs);

} // namespace vardex::log

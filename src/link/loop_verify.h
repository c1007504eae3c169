#pragma once

namespace vardex::link {

class OperationContext;
struct UprLoopConfig;

inline constexpr int kVerifyLoopTimeoutMs = 3000;

// Reads loop n's record back from the controller's memory and compares it with the
// image. False when the stored copy differs, when no memory reply came in time, or
// for a loop number outside 1..26. Only the main record is checked.
bool verifyLoop(OperationContext &ctx, int n);
// The same against the record as it was sent.
bool verifyLoopAsSent(OperationContext &ctx, int n, const UprLoopConfig &sent);

} // namespace vardex::link

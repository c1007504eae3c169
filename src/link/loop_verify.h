#pragma once

namespace vardex::link {

class OperationContext;

inline constexpr int kVerifyLoopTimeoutMs = 3000;

// Reads loop n's record back from the controller's memory and compares it with the
// image. False when the stored copy differs, when no memory reply came in time, or
// for a loop number outside 1..26. Only the main record is checked.
bool verifyLoop(OperationContext &ctx, int n);

} // namespace vardex::link

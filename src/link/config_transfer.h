#pragma once

#include <QString>

#include <functional>

namespace vardex::link {

class OperationContext;

inline constexpr int kConfigPageTimeoutMs = 5000;

// Shows a modal message to the user (the pages pass their prompt seam).
using ShowMessage = std::function<void(const QString &text)>;

// Reads configuration pages 0..2, each awaited; a missing reply is reported through
// showMessage (unless the operation was stopped) and ends the run (false). Then asks
// for page 3 and returns true without waiting: the caller waits for it with its own
// time-out.
bool readConfiguration(OperationContext &ctx, const ShowMessage &showMessage);

} // namespace vardex::link

#pragma once

#include <QtGlobal>

#include <algorithm>

// Keeps the watchdog's output tasks as far apart at the controller as they were decided.
// A task queued behind another exchange goes out late; sent as soon as it can, the
// pulse's end would follow its start at once and the watched host would never lose
// power. Times are monotonic milliseconds.
namespace vardex::service {

class TaskSpacing {
public:
    // How long to wait, at nowMs, before sending a task decided at decidedMs: as long
    // as the previous task was late, less what this one is late already.
    qint64 waitBeforeSend(qint64 decidedMs, qint64 nowMs) const
    {
        if (m_lastDecidedMs < 0)
            return 0;
        const qint64 due = m_lastSentMs + (decidedMs - m_lastDecidedMs);
        return std::max<qint64>(0, due - nowMs);
    }
    void sent(qint64 decidedMs, qint64 sentMs)
    {
        m_lastDecidedMs = decidedMs;
        m_lastSentMs = sentMs;
    }

private:
    qint64 m_lastDecidedMs = -1;
    qint64 m_lastSentMs = -1;
};

} // namespace vardex::service

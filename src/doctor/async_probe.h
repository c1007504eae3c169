#pragma once

#include "doctor/system_state.h"

#include <QObject>

#include <functional>

class QThread;

namespace vardex::doctor {

using SystemProbe = std::function<SystemState()>;

// Runs the system probe on a worker thread, so the window never waits on /proc or
// udev. The result comes back on the thread that owns this object. A start while a
// probe runs asks for one more run after it (the answer then reflects the newest
// state), never for two at once.
class AsyncProbe : public QObject {
    Q_OBJECT
public:
    explicit AsyncProbe(QObject *parent = nullptr);
    // Waits for a probe still running (it only reads, and ends by itself).
    ~AsyncProbe() override;

    void setProbe(SystemProbe probe) { m_probe = std::move(probe); }
    bool hasProbe() const { return static_cast<bool>(m_probe); }
    // Without a probe, finished() comes at once with an empty state.
    void start();
    bool isRunning() const { return m_thread != nullptr; }

signals:
    void finished(const vardex::doctor::SystemState &state);

private:
    void deliver(const SystemState &state);

    SystemProbe m_probe;
    QThread *m_thread = nullptr;
    bool m_again = false;
};

} // namespace vardex::doctor

#pragma once

#include "sim/sim_transport.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace vardex::sim {

inline const QString kDemoDeviceId = QStringLiteral("sim:demo");

// The demo's controller (firmware 24, a two-week log, 2 ms latency), plugged in: the first
// enumeration after start() announces it. vardex-cli --demo and its tests use it.
std::unique_ptr<SimTransport> makeDemoTransport(int latencyMs = 2);

// Plugs a simulated controller into a transport once its firmware is built. Building the
// demo's two-week log takes longer than showing the window, so it runs on a worker thread
// after start-up: start(plugAfterMs) begins the build half-way to plugAfterMs, and the
// device is added and plugged at plugAfterMs or as soon as the build is done, whichever
// is later. The worker only runs `build` (nothing shared) and hands the firmware over
// under a lock; adding and plugging happen on the thread that owns this object.
class DemoPlug final : public QObject {
    Q_OBJECT
public:
    // options.firmware is replaced by what build returns.
    DemoPlug(SimTransport &transport, std::function<Firmware()> build, SimDeviceOptions options,
             QObject *parent = nullptr);
    // Waits for a running build; a firmware built after this object is gone is dropped.
    ~DemoPlug() override;

    void start(int plugAfterMs);
    // The device's id once it has been added (empty before).
    const QString &deviceId() const { return m_deviceId; }
    bool isBuilt() const;

signals:
    void plugged(const QString &id);

private:
    void onBuilt();
    void plugWhenReady();

    SimTransport &m_transport;
    std::function<Firmware()> m_build;
    SimDeviceOptions m_options;
    mutable std::mutex m_mutex;
    std::optional<Firmware> m_built; // set by the worker under m_mutex
    std::thread m_worker;
    bool m_due = false;   // plugAfterMs has passed
    bool m_ready = false; // the worker's firmware has been handed over
    QString m_deviceId;
};

} // namespace vardex::sim

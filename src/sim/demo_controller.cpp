#include "sim/demo_controller.h"

#include "sim/scenarios.h"

#include <QDate>
#include <QTimer>

#include <algorithm>

namespace vardex::sim {

std::unique_ptr<SimTransport> makeDemoTransport(int latencyMs)
{
    auto transport = std::make_unique<SimTransport>();
    SimDeviceOptions options;
    options.id = kDemoDeviceId;
    options.latencyMs = latencyMs;
    options.firmware = demoController(QDate::currentDate());
    transport->plug(transport->addDevice(std::move(options)));
    return transport;
}

DemoPlug::DemoPlug(SimTransport &transport, std::function<Firmware()> build,
                   SimDeviceOptions options, QObject *parent)
    : QObject(parent), m_transport(transport), m_build(std::move(build)),
      m_options(std::move(options))
{
}

DemoPlug::~DemoPlug()
{
    if (m_worker.joinable())
        m_worker.join();
}

bool DemoPlug::isBuilt() const
{
    const std::lock_guard lock(m_mutex);
    return m_ready || m_built.has_value();
}

void DemoPlug::start(int plugAfterMs)
{
    if (m_worker.joinable() || m_ready)
        return;
    QTimer::singleShot(std::max(0, plugAfterMs / 2), this, [this] {
        m_worker = std::thread([this] {
            Firmware firmware = m_build();
            {
                const std::lock_guard lock(m_mutex);
                m_built = std::move(firmware);
            }
            // Queued to this object's thread; dropped with the object if it is gone.
            QMetaObject::invokeMethod(this, &DemoPlug::onBuilt, Qt::QueuedConnection);
        });
    });
    QTimer::singleShot(std::max(0, plugAfterMs), this, [this] {
        m_due = true;
        plugWhenReady();
    });
}

void DemoPlug::onBuilt()
{
    if (m_worker.joinable())
        m_worker.join();
    {
        const std::lock_guard lock(m_mutex);
        if (!m_built)
            return;
        m_options.firmware = std::move(*m_built);
        m_built.reset();
    }
    m_ready = true;
    plugWhenReady();
}

void DemoPlug::plugWhenReady()
{
    if (!m_due || !m_ready || !m_deviceId.isEmpty())
        return;
    m_deviceId = m_transport.addDevice(std::move(m_options));
    m_transport.plug(m_deviceId);
    emit plugged(m_deviceId);
}

} // namespace vardex::sim

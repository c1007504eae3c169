#include "sim/demo_controller.h"

#include "sim/scenarios.h"

#include <QDate>

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

} // namespace vardex::sim

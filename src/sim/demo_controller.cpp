#include "sim/demo_controller.h"

#include "sim/scenarios.h"

namespace vardex::sim {

std::unique_ptr<SimTransport> makeDemoTransport(int latencyMs)
{
    auto transport = std::make_unique<SimTransport>();
    SimDeviceOptions options;
    options.id = kDemoDeviceId;
    options.latencyMs = latencyMs;
    options.firmware = fullControllerFirmware24();
    transport->plug(transport->addDevice(std::move(options)));
    return transport;
}

} // namespace vardex::sim

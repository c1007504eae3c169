#pragma once

#include "link/data_module.h"
#include "sim/scenarios.h"
#include "sim/sim_transport.h"
#include "support/test_support.h"

#include <utility>
#include <vector>

namespace vardex::test {

// A data module on one plugged simulated controller that answers without added
// latency, for exchange sequences without widgets.
struct SimLinkRig {
    explicit SimLinkRig(sim::Firmware firmware, int latencyMs = 0)
    {
        sim::SimDeviceOptions options;
        options.realTime = false;
        options.latencyMs = latencyMs;
        options.firmware = std::move(firmware);
        id = transport.addDevice(std::move(options));
        transport.plug(id);
        transport.start();
        connected = waitUntil([&] { return dm.hasDevice(); }, 2000);
    }

    // Requests the controller received with this code.
    std::vector<link::Payload> received(int code) const
    {
        std::vector<link::Payload> out;
        for (const auto &p : transport.receivedRequests(id)) {
            if (p[link::pos::Code] == code)
                out.push_back(p);
        }
        return out;
    }

    sim::SimTransport transport;
    link::DataModule dm{transport};
    QString id;
    bool connected = false;
};

} // namespace vardex::test

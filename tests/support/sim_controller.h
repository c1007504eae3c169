#pragma once

#include "link/data_module.h"
#include "sim/scenarios.h"
#include "sim/sim_transport.h"
#include "support/test_support.h"

#include <utility>
#include <vector>

namespace vardex::test {

// The one fixture under every page and window test: a data module on one simulated
// controller. Plugged by plug(), so a window built in between sees the arrival.
struct SimController {
    explicit SimController(sim::Firmware firmware = sim::fullControllerFirmware24(),
                           int latencyMs = -1)
    {
        sim::SimDeviceOptions options;
        if (latencyMs >= 0)
            options.latencyMs = latencyMs;
        options.realTime = false;
        options.firmware = std::move(firmware);
        id = transport.addDevice(std::move(options));
    }

    // Plugs the controller in and waits until the data module has taken it.
    bool plug(int timeoutMs = 3000)
    {
        transport.plug(id);
        transport.start();
        connected = waitUntil([&] { return dm.hasDevice(); }, timeoutMs);
        return connected;
    }

    link::DeviceImage &image() { return dm.image(); }

    // Requests the controller received with this code (and Sub / Arg1 when given).
    std::vector<link::Payload> received(int code, int arg1 = -1) const
    {
        std::vector<link::Payload> out;
        for (const auto &p : transport.receivedRequests(id)) {
            if (p[link::pos::Code] == code && (arg1 < 0 || p[link::pos::Arg1] == arg1))
                out.push_back(p);
        }
        return out;
    }
    int requestCount(int code, int sub = -1) const
    {
        int n = 0;
        for (const link::Payload &p : transport.receivedRequests(id))
            n += p[link::pos::Code] == code && (sub < 0 || p[link::pos::Sub] == sub);
        return n;
    }

    sim::SimTransport transport;
    link::DataModule dm{transport};
    QString id;
    bool connected = false;
};

} // namespace vardex::test

#pragma once

#include "kit/widgets/page_context.h"
#include "kit/widgets/status_bar.h"
#include "link/data_module.h"
#include "sim/scenarios.h"
#include "sim/sim_transport.h"
#include "support/recording_prompts.h"
#include "support/test_support.h"

#include <utility>
#include <vector>

namespace vardex::test {

// What a page is built on: a data module on one plugged simulated controller, the
// prompt seam, a status bar and the page context holding them.
struct PageRig {
    explicit PageRig(sim::Firmware firmware = sim::fullControllerFirmware24())
    {
        sim::SimDeviceOptions options;
        options.realTime = false;
        options.firmware = std::move(firmware);
        id = transport.addDevice(std::move(options));
        transport.plug(id);
        transport.start();
        connected = waitUntil([&] { return dm.hasDevice(); }, 2000);
    }

    link::DeviceImage &image() { return dm.image(); }

    // Requests the controller received with this code (and Arg1 when given).
    std::vector<link::Payload> received(int code, int arg1 = -1) const
    {
        std::vector<link::Payload> out;
        for (const auto &p : transport.receivedRequests(id)) {
            if (p[link::pos::Code] == code && (arg1 < 0 || p[link::pos::Arg1] == arg1))
                out.push_back(p);
        }
        return out;
    }

    sim::SimTransport transport;
    link::DataModule dm{transport};
    RecordingPrompts prompts;
    ui::StatusBar statusBar;
    ui::PageContext ctx{dm, prompts, statusBar};
    QString id;
    bool connected = false;
};

} // namespace vardex::test

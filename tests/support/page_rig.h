#pragma once

#include "kit/widgets/page_context.h"
#include "kit/widgets/status_bar.h"
#include "support/recording_prompts.h"
#include "support/sim_controller.h"

#include <utility>

namespace vardex::test {

// What a page is built on: the simulated controller, plugged, with the prompt seam,
// a status bar and the page context holding them.
struct PageRig : SimController {
    explicit PageRig(sim::Firmware firmware = sim::fullControllerFirmware24(), int latencyMs = -1)
        : SimController(std::move(firmware), latencyMs)
    {
        plug(2000);
    }

    RecordingPrompts prompts;
    ui::StatusBar statusBar;
    ui::PageContext ctx{dm, prompts, statusBar};
};

} // namespace vardex::test

#pragma once

#include "common/clock.h"

namespace vardex::link {
class DataModule;
}

namespace vardex::ui {

class Prompts;
class StatusBar;

// What every page needs of the main window: the link, the modal-question seam, the
// status bar and the clock. Owned by the main window; pages keep references.
struct PageContext {
    link::DataModule &dm;
    Prompts &prompts;
    StatusBar &statusBar;
    // Time of day and monotonic time; tests pass a ManualClock.
    Clock &clock = Clock::system();
};

} // namespace vardex::ui

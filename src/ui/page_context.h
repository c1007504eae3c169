#pragma once

namespace vardex::link {
class DataModule;
}

namespace vardex::ui {

class Prompts;
class StatusBar;

// What every page needs of the main window: the link, the modal-question seam and
// the status bar. Owned by the main window; pages keep references.
struct PageContext {
    link::DataModule &dm;
    Prompts &prompts;
    StatusBar &statusBar;
};

} // namespace vardex::ui

#pragma once

#include "program/command_line.h"

namespace vardex::ui {

class MainWindow;

// What the window programs' command line asks of the window at start-up: --service shows
// the hidden service pages; with it, --watch HOST --watch-output relay1 brings the
// "LAN_сторож" page to the front watching HOST on that output, as on an unattended machine
// after a reboot. Without either the window stays as it starts.
void applyStartOptions(MainWindow &window, const program::WindowOptions &options);

} // namespace vardex::ui

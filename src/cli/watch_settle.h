#pragma once

#include "link/device_image.h"
#include "link/operation.h"

#include <QString>

// What a headless watch asks besides the watchdog's own switches: who the controller
// is, and a switch-off that is checked by reading the outputs back. The exchanges are the
// subsystems' sequences (work/), the ones the window runs.
namespace vardex::cli {

// The controller's serial number as the window's caption shows it ("24.3.11.…"); empty
// when it does not answer or answers with the error reply.
QString readControllerSerial(link::OperationContext &ctx);

// Every output as the controller drives it now, loops included (to compare with a task
// written).
link::OutputTask taskOfState(const link::MonitorState &state);
// Whether the item of the watchdog's output list is on in the controller's state.
bool outputOnInState(const link::MonitorState &state, int item);

enum class SwitchOffCheck {
    Confirmed,   // the outputs read back with the item off
    StillOn,     // read back, and the item is still on (a control loop may hold it)
    NotReadBack, // sent, but the outputs were not read back
    NotSent,     // the outputs could not be read first, so nothing was sent
};

// Reads the outputs back after a switch-off of the item was written.
SwitchOffCheck confirmSwitchedOff(link::OperationContext &ctx, int item);
// A switch-off owed from an earlier run: reads the outputs, writes the manual task they
// show with the item off (work::switchOutputs), and reads them back.
SwitchOffCheck switchOffChecked(link::OperationContext &ctx, int item);

} // namespace vardex::cli

#pragma once

#include "link/device_image.h"
#include "link/operation.h"

#include <QString>

// The exchanges a headless watch makes besides the watchdog's own: who the controller
// is, and a switch-off that is checked by reading the outputs back.
namespace vardex::cli {

// The controller's serial number as the window's caption shows it ("24.3.11.…"); empty
// when it does not answer or answers with the error reply.
QString readControllerSerial(link::OperationContext &ctx);

// Reads the state that carries the outputs (Sub 0); false when it was not answered, or
// answered with the error reply (the image's outputs are then not the controller's).
bool readOutputs(link::OperationContext &ctx);

// The output task that keeps every output as the controller drives it now.
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
// A switch-off owed from an earlier run: reads the outputs, writes them back with the
// item off (the others as they are), and reads them back.
SwitchOffCheck switchOffChecked(link::OperationContext &ctx, int item);

} // namespace vardex::cli

#pragma once

#include "link/device_image.h"
#include "link/operation.h"
#include "work/work_transfer.h"

#include <functional>

// Switching single outputs without touching the others: the outputs and the loops' flags
// are read in the same operation as the write, and the task written is the manual task
// they show (work/loop_hold.h) with only the caller's own outputs changed. The watchdog's
// pulses (window and headless watch), a switch-off owed from an earlier run and `outputs
// set` all go this way.
namespace vardex::work {

inline constexpr int kOutputsReadMs = 500;

// The outputs (State Sub 0) and the loops' flags (Sub 1), each answered in time and not
// with the error reply. The image's state holds them after a true return.
bool readOutputsAndLoops(link::OperationContext &ctx);

struct OutputSwitch {
    // The outputs were read; false: nothing was sent.
    bool read = false;
    // The task written (the image's output task is this after a write).
    link::OutputTask task;
    // Awaited writes: whether the controller acknowledged it.
    Acknowledged ack = Acknowledged::No;
};

// change edits the caller's own outputs of the task and nothing else. ackTimeoutMs 0
// writes without waiting (the watchdog's pulse: the read-back tells).
OutputSwitch switchOutputs(link::OperationContext &ctx,
                           const std::function<void(link::OutputTask &)> &change, int ackTimeoutMs);

} // namespace vardex::work

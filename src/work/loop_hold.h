#pragma once

#include "link/device_image.h"
#include "work/output_task_edit.h"

#include <QString>

// Which control loop drives an output, so the Work page can say why an output shows
// switched on while its box (the engineer's own task) is not ticked.
namespace vardex::work {

// Loops run in output order: TTL outputs 1..8 are loops 1..8, the switches (tags 1..8,
// high then low) loops 9..16, the relays loops 17..22. 0 for a tag outside the family.
int loopOfOutput(OutputFamily family, int tag);

// The state byte that shows a family's outputs as the controller drives them.
std::uint8_t outputStateByte(const link::MonitorState &state, OutputFamily family);

// "включено контуром 17" when the output is on and its loop's flag (32 + loop) says the
// loop is switched on; empty otherwise.
QString heldByLoopHint(const link::MonitorState &state, OutputFamily family, int tag);

} // namespace vardex::work

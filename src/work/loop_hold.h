#pragma once

#include "link/device_image.h"
#include "work/output_task_edit.h"

#include <QString>

#include <array>
#include <cstdint>

// Which control loop holds an output on: the one rule behind the Work page's hint and
// every switch of a single output (the watchdog's pulses, owed switch-offs, `outputs
// set`), so an output only a loop holds is never copied into the manual task.
//
// A loop's system flag (32 + n) says the loop runs: its inputs switch its outputs on now.
// The controller drives an output when its manual task or a running loop says so, so the
// state alone cannot tell whether an output a running loop drives is also on by hand;
// there the last manual task this program knows of decides.
namespace vardex::work {

using LoopExts = std::array<link::UprLoopConfigExt, link::kLoopCount>;

// Loops run in output order: TTL outputs 1..8 are loops 1..8, the switches (tags 1..8,
// high then low) loops 9..16, the relays loops 17..22. 0 for a tag outside the family.
int loopOfOutput(OutputFamily family, int tag);

// The state byte that shows a family's outputs as the controller drives them.
std::uint8_t outputStateByte(const link::MonitorState &state, OutputFamily family);

// Whether loop n's flag says it runs.
bool loopRuns(const link::MonitorState &state, int loop);

// The loop that holds the output on, 0 for none: the output is on and a running loop
// drives it. A loop drives its own output, or, when exts is given and its extended record
// names outputs (firmware above 23), those instead.
int holdingLoop(const link::MonitorState &state, OutputFamily family, int tag,
                const LoopExts *exts = nullptr);

// "включено контуром 17" when holdingLoop() names a loop; empty otherwise.
QString heldByLoopHint(const link::MonitorState &state, OutputFamily family, int tag,
                       const LoopExts *exts = nullptr);

// The manual task the state shows for relays, TTL outputs and switches: an output that
// is off is off; one on that no running loop holds is on by hand; one a loop holds keeps
// what known says. Fan tasks follow the same rule (fans are loops 23..26).
link::OutputTask manualTaskOfState(const link::MonitorState &state, const link::OutputTask &known,
                                   const LoopExts *exts = nullptr);

} // namespace vardex::work

#pragma once

#include "link/device_image.h"

#include <QString>

// What the manual output controls do to the OutputTask. Nothing here sends.
namespace vardex::work {

enum class OutputFamily {
    Relay,     // RelaysTask, tags 1..6
    TtlOutput, // TtlOutputsTask, tags 1..8
    Switch,    // SwitchesTask, tags 1..4 high-side, 5..8 low-side
};

int outputFamilySize(OutputFamily family);

// Sets or clears bit tag-1 of the family's task byte; other bits stay. False and
// nothing changed for a tag outside the family.
bool setOutputTaskBit(link::OutputTask &task, OutputFamily family, int tag, bool on);

// Fan 1..4 task in per cent, clamped to 0..100. False for any other fan.
bool setFanTask(link::OutputTask &task, int fan, int percent);

// "75 %": the task labels beside the fan bars.
QString fanTaskText(int percent);

} // namespace vardex::work

#pragma once

#include "common/field_change.h"
#include "link/device_image.h"

#include <QString>

#include <vector>

// What writing the image's loops would change on a controller, field by field, under
// the captions of the loop page and its extended box.
namespace vardex::loops {

// The loops as a controller would hold them after writing them: only what travels
// (the fill byte of the main record never does).
link::UprLoopConfig asWritten(int n, const link::UprLoopConfig &loop);
link::UprLoopConfigExt asWritten(int n, const link::UprLoopConfigExt &ext);

// Loop by loop, the fields that differ between held (the controller's loops) and
// wanted (what a write sends). Extended records count only with `extended` (firmware
// that has them). Levels are shown in the units of config's channels.
FieldChanges diffLoops(const link::DeviceImage &held, const link::DeviceImage &wanted,
                       const link::MonitorConfig &config, bool extended);

// The loops (1..26) whose written records differ.
std::vector<int> differingLoops(const link::DeviceImage &a, const link::DeviceImage &b,
                                bool extended);

} // namespace vardex::loops

#pragma once

#include "link/device_image.h"

#include <QString>

// The 26 outputs, one per control loop, in loop order: TTL outputs 1..8 (loops 1..8),
// high-side switches 1..4 (9..12), low-side switches 1..4 (13..16), relays 1..6
// (17..22), PWM channels 1..4 (23..26).
namespace vardex::loops {

// Extended loop records exist from this firmware version on.
inline constexpr int kExtendedLoopFirmware = 24;

// Whether loop n's own output is enabled in the configuration; false outside 1..26.
bool loopOutputEnabled(const link::MonitorConfig &config, int n);

// The item caption of output k (1..26) in the extended box's output list.
QString outputItemName(int k);

} // namespace vardex::loops

#pragma once

#include "sim/firmware.h"

namespace vardex::sim {

// Ready-made controllers for tests, benchmarks and the demo.

// Firmware 24, every channel enabled, analog scaling for 12-bit codes, alarm
// thresholds, a few loops with inputs (and extended records), identity, keys, a
// black box and a clock of 2012-03-05 14:07:09. Loop 23 runs fan 1 at full speed
// (sensor 2 is above its 32 C level), so fan 1 ignores a manual task; fans 2..4
// follow it.
Firmware fullControllerFirmware24();
// The same controller on firmware 23: no extended loop records.
Firmware fullControllerFirmware23();
// Everything zero except the two version bytes.
Firmware emptyController(std::uint8_t firmwareVersion = 24, std::uint8_t buildVariant = 1);
// The full controller with `count` log records, one every 30 minutes from
// 2011-12-29 08:00 (so the log spans the turn of 2011 to 2012), with a door
// contact that opens now and then.
Firmware controllerWithLog(int count = 360);
// The full controller whose ring holds 16384 records; `beyond` more records make
// it wrap that far (slot 1 then holds record 16385).
Firmware controllerWithFullLog(int beyond = 0);
// The demo's controller: the full controller with a log of the two weeks before
// `today` (from 1 January when those weeks start in the year before), one record
// every 5 minutes: cabinet temperatures on a daily cycle, fans following their
// tasks, a night-time mains failure on battery and the door opened a few times.
Firmware demoController(const QDate &today);

} // namespace vardex::sim

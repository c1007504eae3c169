#pragma once

#include "sim/sim_transport.h"

#include <memory>

namespace vardex::sim {

inline const QString kDemoDeviceId = QStringLiteral("sim:demo");

// The demo's controller (firmware 24, a two-week log, 2 ms latency), plugged in: the first
// enumeration after start() announces it. vardex-cli --demo and its tests use it.
std::unique_ptr<SimTransport> makeDemoTransport(int latencyMs = 2);

} // namespace vardex::sim

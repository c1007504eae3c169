#pragma once

#include "link/device_image.h"

#include <QString>

#include <cstdint>
#include <optional>

// What the cabinet service knows after its last poll: the one source of every metric,
// MQTT message and status line, so all of them say the same thing.
namespace vardex::fleet {

struct ControllerIdentity {
    QString serial; // empty when the identity did not come
    int firmware = 0;
    int variant = 0;
    int config = 0;
};

// The ping watch's figures, when the service watches a host.
struct WatchFigures {
    QString host;
    std::uint64_t pulses = 0;
    std::uint64_t misses = 0;
    // The last echo's round trip; none when the last echo was not answered.
    std::optional<double> rttSeconds;
};

struct Snapshot {
    // The last poll was answered. False also before the first poll and after the
    // controller went away: then no reading of it is shown.
    bool up = false;
    std::optional<ControllerIdentity> identity;
    link::MonitorConfig config; // enable masks and sensor resolutions of this controller
    link::MonitorState state;   // meaningful only while up
    // Wall-clock seconds of the last answered poll; none before the first one.
    std::optional<double> lastPollSeconds;
    std::uint64_t polls = 0;
    std::uint64_t pollFailures = 0;
    std::optional<WatchFigures> watch;
};

} // namespace vardex::fleet

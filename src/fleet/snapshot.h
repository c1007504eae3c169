#pragma once

#include "link/device_image.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

// What the cabinet service knows after its last poll: the one source of every metric,
// MQTT message and status line, so all of them say the same thing.
namespace vardex::fleet {

struct ControllerIdentity {
    QString serial; // empty when the identity did not come
    int firmware = 0;
    int variant = 0;
    int config = 0;
};

// Where a ping watch stands: it may pulse (armed), waits for the host to answer first
// (not armed), pauses after a pulse (hold-off) or gave up at its cap (stood down).
enum class WatchStance { Armed, NotArmed, HoldOff, StoodDown };

// One ping watch's figures: the service watches up to several host and output pairs.
struct WatchFigures {
    QString host;   // the first host; a pulse needs every host of the pair to miss
    QString output; // "relay1", "h2", "l4"
    std::uint64_t pulses = 0;
    std::uint64_t misses = 0; // echoes that went unanswered, every host counted
    // The last echo's round trip; none when the last echo was not answered.
    std::optional<double> rttSeconds;
    WatchStance stance = WatchStance::Armed;
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
    // The controller is lent to another program (a window, a one-off command): nothing
    // is read meanwhile, so up is false, and this says why.
    bool lent = false;
    QString lentTo; // the borrower as the owner record names it
    std::vector<WatchFigures> watches;

    // Whether readings may be shown: a loan hides them even if a caller left up set, so
    // no figure from before the loan is served as current.
    bool answering() const { return up && !lent; }
};

} // namespace vardex::fleet

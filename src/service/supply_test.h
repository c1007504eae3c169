#pragma once

#include <optional>

namespace vardex::link {
class OperationContext;
}

// The 5 V bench chart: one state read per tick, two analog channels per point.
namespace vardex::service {

inline constexpr int kSupplyTestReplyTimeoutMs = 500;
inline constexpr int kSupplyTestIntervalMs = 1000;

struct SupplyReading {
    double usb5 = 0; // channel 3, "А3_5В"
    double aver = 0; // channel 1, "А1_12В"
};

// One tick as its own exchange: reads the main state and returns the two channels.
// A tick without a reply (or with the controller's error reply) gives no reading and
// leaves nothing behind for the next one, so one lost reply costs one point only.
std::optional<SupplyReading> readSupplyPoint(link::OperationContext &ctx);

} // namespace vardex::service

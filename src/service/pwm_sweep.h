#pragma once

#include <array>
#include <cstdint>

namespace vardex::link {
class OperationContext;
}

// The backlight sweep: a 16-bit level that climbs by one per tick to the maximum and
// falls back to the minimum, a triangle whose low byte is the dimmer byte of the
// switch loops' extended records.
namespace vardex::service {

class PwmSweep {
public:
    static constexpr int kDefaultStepCount = 128;
    static constexpr int kDefaultMaximum = 128;
    static constexpr int kDefaultMinimum = 0;
    // The ramp needs room for one step up and one down between the limits.
    static constexpr int kMinimumSpan = 2;

    std::uint16_t level() const { return m_level; }
    bool rising() const { return m_rising; }
    int stepCount() const { return m_stepCount; }
    int maximum() const { return m_maximum; }
    int minimum() const { return m_minimum; }
    // The limits the ramp actually runs between. They equal the chosen ones unless
    // the maximum is below minimum + 2; then the maximum wins and the floor drops to
    // maximum - 2, so the level never leaves the pair nor wraps through 0.
    int floor() const;
    int ceiling() const { return m_maximum; }

    // One tick: the next level of the triangle.
    std::uint16_t tick();

    // The seconds of one full ramp changed: returns the timer interval in whole
    // milliseconds for the present step count and restarts the level at 1.
    int setRampSeconds(int seconds);
    // Item 0 of the step list is 32 steps, item 1 is 128.
    void setStepItem(int item);
    void setMaximum(int value); // the level restarts two below it
    void setMinimum(int value); // the level restarts two above it

    static int intervalMs(int rampSeconds, int stepCount) { return rampSeconds * 1000 / stepCount; }

private:
    void setLevel(int level);

    std::uint16_t m_level = 1;
    bool m_rising = false;
    int m_stepCount = kDefaultStepCount;
    int m_maximum = kDefaultMaximum;
    int m_minimum = kDefaultMinimum;
};

inline constexpr int kSweepBoxes = 8;
inline constexpr int kSweepReplyTimeoutMs = 500;
// Box N (1..8) drives loop N + 8: the high-side switches 1..4, then the low-side ones.
inline constexpr int sweepLoopOfBox(int box)
{
    return box + 8;
}

// One sweep tick as an exchange: moves the level and, for every checked box, stores
// its low byte as the dimmer of the box's loop and writes that loop's extended record,
// waiting for each reply (whose content does not matter). Without a controller the
// level still moves, but nothing is sent and nothing is waited for; the same before
// the controller's loops are in the image (loopsRead false), since the record goes out
// whole and zeros would wipe the loop's timers, logic and outputs. Returns false, having
// moved nothing, while all loops are being read or written: the tick may run between two
// of their steps, and a record changed there would be written or compared half-changed.
bool runSweepTick(link::OperationContext &ctx, PwmSweep &sweep,
                  const std::array<bool, kSweepBoxes> &checked, bool loopsRead);

} // namespace vardex::service

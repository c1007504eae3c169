#include "loops/ext_coding.h"

#include "loops/loop_outputs.h"

#include <algorithm>
#include <cmath>

namespace vardex::loops::ext {

namespace {

double clampShown(double v, int max)
{
    if (std::isnan(v))
        return 0;
    return std::clamp(v, 0.0, static_cast<double>(max));
}

} // namespace

std::uint8_t withBits(std::uint8_t value, std::uint8_t bits, bool set)
{
    return static_cast<std::uint8_t>(set ? (value | bits) : (value & ~bits));
}

std::uint16_t timerFromShown(double shown)
{
    return static_cast<std::uint16_t>(std::nearbyint(clampShown(shown, kTimerMax)));
}

std::uint8_t pulseFromShown(double shown)
{
    return static_cast<std::uint8_t>(std::trunc(clampShown(shown, kPulseMax)));
}

std::uint8_t dimmerFromShown(double shown)
{
    return static_cast<std::uint8_t>(std::nearbyint(clampShown(shown, kDimmerMax)));
}

OutputItems outputItems(const link::MonitorConfig &config, int n, std::uint32_t mask)
{
    OutputItems items{};
    for (int k = 1; k <= link::kLoopCount; ++k) {
        OutputItem &item = items[static_cast<std::size_t>(k - 1)];
        item.enabled = k != n && loopOutputEnabled(config, k);
        item.checked = item.enabled && ((mask >> (k - 1)) & 1u) != 0;
    }
    return items;
}

std::uint32_t outputMask(const OutputItems &items)
{
    std::uint32_t mask = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i].enabled && items[i].checked)
            mask |= 1u << i;
    }
    return mask;
}

} // namespace vardex::loops::ext

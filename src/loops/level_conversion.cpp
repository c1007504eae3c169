#include "loops/level_conversion.h"

#include "common/conversions.h"

#include <algorithm>
#include <limits>

namespace vardex::loops {

namespace {

// The config conversions already map NaN to 0 and saturate at 32 bits.
std::int16_t saturate16(std::int32_t v)
{
    constexpr std::int32_t lo = std::numeric_limits<std::int16_t>::min();
    constexpr std::int32_t hi = std::numeric_limits<std::int16_t>::max();
    return static_cast<std::int16_t>(std::clamp(v, lo, hi));
}

} // namespace

double analogShown(std::int16_t raw, float a, float b)
{
    return static_cast<double>(vardex::analogToShown(raw, a, b));
}

std::int16_t analogRaw(double shown, float a, float b)
{
    return saturate16(vardex::analogToRaw(shown, a, b));
}

double temperatureShown(std::int16_t raw, std::uint8_t resolutionCode)
{
    return static_cast<double>(vardex::temperatureLevelToShown(raw, resolutionCode));
}

std::int16_t temperatureRaw(double shown, std::uint8_t resolutionCode)
{
    return saturate16(vardex::temperatureToRaw(shown, resolutionCode));
}

} // namespace vardex::loops

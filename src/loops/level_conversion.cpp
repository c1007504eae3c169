#include "loops/level_conversion.h"

#include "link/device_image.h"

#include <cmath>
#include <limits>

namespace vardex::loops {

namespace {

std::int16_t saturate16(long double v)
{
    constexpr auto lo = std::numeric_limits<std::int16_t>::min();
    constexpr auto hi = std::numeric_limits<std::int16_t>::max();
    if (std::isnan(v))
        return 0;
    if (v <= lo)
        return lo;
    if (v >= hi)
        return hi;
    return static_cast<std::int16_t>(v);
}

} // namespace

double temperatureStep(std::uint8_t resolutionCode)
{
    float scale = 0;
    if (!link::temperatureScale(resolutionCode, &scale))
        scale = link::kTemperatureScale.back();
    return scale;
}

double analogShown(std::int16_t raw, float a, float b)
{
    // Extended precision, so the float gain does not add its own rounding.
    return static_cast<double>(static_cast<long double>(raw) * a + b);
}

std::int16_t analogRaw(double shown, float a, float b)
{
    if (a == 0.0f)
        return 0;
    const long double raw = (static_cast<long double>(shown) - b) / a;
    return saturate16(std::trunc(raw));
}

double temperatureShown(std::int16_t raw, std::uint8_t resolutionCode)
{
    return raw * temperatureStep(resolutionCode);
}

std::int16_t temperatureRaw(double shown, std::uint8_t resolutionCode)
{
    // nearbyint follows the default rounding mode: to nearest, ties to even.
    return saturate16(std::nearbyint(shown / temperatureStep(resolutionCode)));
}

} // namespace vardex::loops

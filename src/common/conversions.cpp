#include "common/conversions.h"

#include "link/device_image.h"

#include <cmath>
#include <limits>

namespace vardex {

long double temperatureScale(int resolutionCode)
{
    float scale = 0;
    if (!link::temperatureScale(resolutionCode, &scale))
        scale = link::kTemperatureScale[0];
    return scale;
}

long double analogToShown(std::int32_t raw, float a, float b)
{
    return static_cast<long double>(raw) * a + b;
}

namespace {

std::int32_t saturate(long double v)
{
    constexpr long double lo = std::numeric_limits<std::int32_t>::min();
    constexpr long double hi = std::numeric_limits<std::int32_t>::max();
    if (std::isnan(v))
        return 0;
    if (v <= lo)
        return std::numeric_limits<std::int32_t>::min();
    if (v >= hi)
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(v);
}

} // namespace

std::int32_t analogToRaw(long double shown, float a, float b)
{
    if (a == 0.0f)
        return 0;
    return saturate(std::trunc((shown - b) / a));
}

std::int32_t temperatureAlarmSigned(std::int32_t stored)
{
    return stored >= 65001 && stored <= 65535 ? stored - 65536 : stored;
}

long double temperatureAlarmToShown(std::int32_t stored, int resolutionCode)
{
    return temperatureAlarmSigned(stored) * temperatureScale(resolutionCode);
}

long double temperatureLevelToShown(std::int16_t raw, int resolutionCode)
{
    return raw * temperatureScale(resolutionCode);
}

std::int32_t temperatureToRaw(long double shown, int resolutionCode)
{
    // nearbyintl rounds ties to even in the default rounding mode.
    return saturate(std::nearbyint(shown / temperatureScale(resolutionCode)));
}

double clampToRange(double value, double min, double max)
{
    if (value > max)
        value = max;
    if (value < min)
        value = min;
    return value;
}

QString formatNumber(long double value, int maxDecimals)
{
    if (std::isnan(value) || std::isinf(value))
        return QString::number(static_cast<double>(value));
    long double factor = 1;
    for (int i = 0; i < maxDecimals; ++i)
        factor *= 10;
    const long double scaled = std::round(value * factor); // halves away from zero
    QString text;
    if (std::fabs(scaled) < 1e18L) {
        const long long units = std::llround(scaled);
        const long long whole = std::llabs(units) / static_cast<long long>(factor);
        long long frac = std::llabs(units) % static_cast<long long>(factor);
        text = QString::number(whole);
        if (frac != 0) {
            QString digits = QString::number(frac).rightJustified(maxDecimals, QLatin1Char('0'));
            while (digits.endsWith(QLatin1Char('0')))
                digits.chop(1);
            text += QLatin1Char('.') + digits;
        }
        if (units < 0)
            text.prepend(QLatin1Char('-'));
    } else {
        // Far beyond anything an edit accepts: no fraction digits to speak of.
        text = QString::number(static_cast<double>(value), 'f', 0);
    }
    return text;
}

} // namespace vardex

#include "work/value_format.h"

#include "link/device_image.h"

#include <cmath>
#include <cstdlib>

namespace vardex::work {

QString formatOneDecimal(double value)
{
    if (!std::isfinite(value))
        return kUnshowable;
    const double tenths = std::round(value * 10.0);
    // Beyond 2^53 tenths there are no decimals left to round; print as it is.
    if (!(std::fabs(tenths) < 9.0e15))
        return QString::number(value, 'f', 1);
    const long long t = static_cast<long long>(tenths);
    const unsigned long long magnitude = static_cast<unsigned long long>(std::llabs(t));
    return QStringLiteral("%1%2.%3")
        .arg(t < 0 ? QStringLiteral("-") : QString())
        .arg(magnitude / 10)
        .arg(magnitude % 10);
}

bool temperatureCelsius(std::int16_t raw, int resolutionCode, double *celsius)
{
    float scale = 0;
    if (!link::temperatureScale(resolutionCode, &scale))
        return false;
    *celsius = static_cast<double>(raw) * static_cast<double>(scale);
    return true;
}

QString temperatureText(std::int16_t raw, int resolutionCode)
{
    double celsius = 0;
    if (!temperatureCelsius(raw, resolutionCode, &celsius))
        return kUnshowable;
    return formatTemperature(celsius);
}

} // namespace vardex::work

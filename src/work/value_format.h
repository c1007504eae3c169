#pragma once

#include <QString>

#include <cstdint>

// Texts of the Work page's value fields.
namespace vardex::work {

// The field text for a value that cannot be shown.
inline const QString kUnshowable = QStringLiteral("*");

// One decimal, at least one integer digit, a leading "-" for negatives, no
// grouping: 0.25 -> "0.3", -55 -> "-55.0". Halves round away from zero. A value
// that rounds to zero carries no sign. Not a finite number -> "*".
QString formatOneDecimal(double value);

// Analog channels and the mains use the "0.0" format, temperatures "##0.0";
// both print the same text.
inline QString formatAnalog(double value)
{
    return formatOneDecimal(value);
}
inline QString formatTemperature(double value)
{
    return formatOneDecimal(value);
}

// Degrees Celsius of a raw sensor reading at its resolution code (0..3).
// False for any other code: the controller is not expected to send one, and
// guessing a scale would show a wrong temperature as if it were right.
bool temperatureCelsius(std::int16_t raw, int resolutionCode, double *celsius);

// The temperature field text: "*" for a resolution code outside 0..3.
QString temperatureText(std::int16_t raw, int resolutionCode);

} // namespace vardex::work

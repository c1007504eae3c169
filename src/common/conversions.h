#pragma once

#include <QString>

#include <cstdint>

// Conversions between the controller's raw units and what the configuration and
// loop editors show. The editors own the rounding, so it lives here in one place.
namespace vardex {

// Degrees Celsius per raw unit for a resolution code. Codes outside 0..3 cannot be
// entered, only loaded from a file; the configuration and loop pages both read them as
// code 0 (0.5), the sensors' default, so a stray code never divides by zero.
long double temperatureScale(int resolutionCode);

// Analog: shown = raw * A + B, in extended precision. Raw codes read as signed.
long double analogToShown(std::int32_t raw, float a, float b);
// raw = (shown - B) / A truncated toward zero; 0 when A is 0. Results beyond the
// 32-bit range saturate (only a hand-made file can lead there).
std::int32_t analogToRaw(long double shown, float a, float b);

// The 32-bit temperature alarm fields: 65001..65535 is a negative 16-bit reading
// zero-extended by a read from the controller; anything else is taken as it is.
std::int32_t temperatureAlarmSigned(std::int32_t stored);
long double temperatureAlarmToShown(std::int32_t stored, int resolutionCode);
// The 16-bit loop thresholds are plain signed values.
long double temperatureLevelToShown(std::int16_t raw, int resolutionCode);
// raw = shown / scale, rounded to nearest with ties to even; kept signed.
std::int32_t temperatureToRaw(long double shown, int resolutionCode);

// Above max -> max, then below min -> min (the editors' order).
double clampToRange(double value, double min, double max);

// Formats with at most maxDecimals digits after the point and no trailing zeros:
// 2 is the "0.##" format, 6 "0.######". Halves round away from zero.
QString formatNumber(long double value, int maxDecimals);

} // namespace vardex

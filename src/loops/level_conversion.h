#pragma once

#include <cstdint>

// Loop thresholds are 16-bit raw codes; the loop page shows them in the units of
// their channel. Analog: shown = raw * A + B of the channel. Temperature: shown =
// raw * degrees-per-unit of the sensor's resolution code.
namespace vardex::loops {

// Degrees per raw unit for a resolution code. Codes outside 0..3 never come from
// the editor; they take the finest step so a stray code cannot divide by zero.
double temperatureStep(std::uint8_t resolutionCode);

double analogShown(std::int16_t raw, float a, float b);
// Truncated toward zero; 0 when A is 0 or the result is not a number. Values past
// the 16-bit range saturate instead of wrapping into a different threshold.
std::int16_t analogRaw(double shown, float a, float b);

double temperatureShown(std::int16_t raw, std::uint8_t resolutionCode);
// Rounded to nearest, ties to even; saturates at the 16-bit range.
std::int16_t temperatureRaw(double shown, std::uint8_t resolutionCode);

} // namespace vardex::loops

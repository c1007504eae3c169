#pragma once

#include <cstdint>

// Loop thresholds are 16-bit raw codes read as signed; the loop page shows them in the
// units of their channel. The arithmetic (scale table, rounding, truncation, the rule for
// an unknown resolution code) is the configuration editor's, in common/conversions.h;
// what is the loops' own is the 16-bit storage.
namespace vardex::loops {

double analogShown(std::int16_t raw, float a, float b);
// Truncated toward zero; 0 when A is 0 or the result is not a number. Values past
// the 16-bit range saturate instead of wrapping into a different threshold.
std::int16_t analogRaw(double shown, float a, float b);

double temperatureShown(std::int16_t raw, std::uint8_t resolutionCode);
// Rounded to nearest, ties to even; saturates at the 16-bit range.
std::int16_t temperatureRaw(double shown, std::uint8_t resolutionCode);

} // namespace vardex::loops

#pragma once

#include "link/device_image.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

// Bit packing shared by the loop record on the wire and the loop record the controller
// keeps in its memory, and the codec of that stored record.
namespace vardex::link::loopcodec {

// One byte: AnalogUse in bits 0..5, HostControl in bits 6..7. The controller's own
// packing ORs AnalogUse in unmasked, so stray high bits of it land on HostControl.
std::uint8_t packUse(std::uint8_t analogUse, std::uint8_t hostControl);
void splitUse(std::uint8_t packed, std::uint8_t &analogUse, std::uint8_t &hostControl);

// Mode bytes (0 direct, 1 inverted) to one bit per input: bit k-1 is set when byte k is
// odd. Expanding writes one 0/1 byte per input.
template <std::size_t N> std::uint8_t packModes(const std::array<std::uint8_t, N> &modes)
{
    static_assert(N <= 8);
    std::uint8_t bits = 0;
    for (std::size_t k = 0; k < N; ++k)
        bits |= static_cast<std::uint8_t>((modes[k] & 1) << k);
    return bits;
}

template <std::size_t N> void expandModes(std::uint8_t bits, std::array<std::uint8_t, N> &modes)
{
    static_assert(N <= 8);
    for (std::size_t k = 0; k < N; ++k)
        modes[k] = (bits >> k) & 1;
}

// The main loop record as the controller stores it at 4096 + 64*(n-1), 56 bytes:
//   0 ContactUse, 1 TtlInputUse, 2 AnalogUse bits 0..5 / HostControl bits 6..7,
//   3 TemperUse, 4..7 ContactMode, TtlInputMode, AnalogMode, TemperMode (one bit per
//   input), 8..19 AnalogLevelLo, 20..31 AnalogLevelHi, 32..43 TemperLevelLo,
//   44..55 TemperLevelHi (16-bit signed, little-endian).
inline constexpr std::size_t kStoredLoopSize = 56;
inline constexpr int kStoredLoopBase = 4096;
inline constexpr int kStoredLoopStride = 64;

// Controller memory address of loop n's stored record.
constexpr int storedLoopAddress(int n)
{
    return kStoredLoopBase + kStoredLoopStride * (n - 1);
}

UprLoopConfig decodeStoredLoop(std::span<const std::uint8_t, kStoredLoopSize> block);
std::array<std::uint8_t, kStoredLoopSize> encodeStoredLoop(const UprLoopConfig &loop);

// True when every field the controller stores is equal, compared in the read-back
// order (use masks, levels, modes, host control last). The fill byte is not stored.
bool storedLoopEquals(const UprLoopConfig &stored, const UprLoopConfig &image);

} // namespace vardex::link::loopcodec

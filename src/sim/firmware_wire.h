#pragma once

// Wire helpers shared by the simulated firmware's request handlers (firmware_*.cpp).
// Internal to the simulator.

#include "link/report.h"

#include <array>
#include <cstdint>
#include <span>

namespace vardex::sim::wire {

using link::Payload;
namespace pos = link::pos;

inline constexpr std::size_t kData = link::kDataOffset;
inline constexpr std::size_t kDataSize = link::kDataSize; // 58

// A reply echoes Code and Sub (and the arguments, which the program ignores).
inline Payload replyTo(const Payload &rq, std::uint8_t len = 0)
{
    Payload p{};
    p[pos::Code] = rq[pos::Code];
    p[pos::Sub] = rq[pos::Sub];
    p[pos::Arg1] = rq[pos::Arg1];
    p[pos::Arg2] = rq[pos::Arg2];
    p[pos::Len] = len;
    return p;
}

inline std::span<std::uint8_t> dataOf(Payload &p)
{
    return std::span<std::uint8_t>(p).subspan(kData);
}

inline std::span<const std::uint8_t> dataOf(const Payload &p)
{
    return std::span<const std::uint8_t>(p).subspan(kData);
}

} // namespace vardex::sim::wire

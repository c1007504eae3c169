#pragma once

#include <bit>
#include <cassert>
#include <cstdint>
#include <cstring>
#include <span>

// Little-endian field access for wire and file layouts. Offsets come from layout
// tables; the asserts catch a table typo in debug builds, and the fixed-size
// blocks the codecs use keep untrusted bytes from ever being read past their end.
namespace vardex::bytes {

using Bytes = std::span<const std::uint8_t>;
using MutableBytes = std::span<std::uint8_t>;

inline std::uint8_t u8(Bytes b, std::size_t at)
{
    assert(at < b.size());
    return b[at];
}

inline std::uint16_t u16(Bytes b, std::size_t at)
{
    assert(at + 2 <= b.size());
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

inline std::int16_t i16(Bytes b, std::size_t at)
{
    return static_cast<std::int16_t>(u16(b, at));
}

inline std::uint32_t u32(Bytes b, std::size_t at)
{
    assert(at + 4 <= b.size());
    return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
           (static_cast<std::uint32_t>(b[at + 2]) << 16) |
           (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

inline std::int32_t i32(Bytes b, std::size_t at)
{
    return static_cast<std::int32_t>(u32(b, at));
}

inline float f32(Bytes b, std::size_t at)
{
    return std::bit_cast<float>(u32(b, at));
}

inline void putU8(MutableBytes b, std::size_t at, std::uint8_t v)
{
    assert(at < b.size());
    b[at] = v;
}

inline void putU16(MutableBytes b, std::size_t at, std::uint16_t v)
{
    assert(at + 2 <= b.size());
    b[at] = static_cast<std::uint8_t>(v & 0xFF);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

inline void putI16(MutableBytes b, std::size_t at, std::int16_t v)
{
    putU16(b, at, static_cast<std::uint16_t>(v));
}

inline void putU32(MutableBytes b, std::size_t at, std::uint32_t v)
{
    assert(at + 4 <= b.size());
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

inline void putI32(MutableBytes b, std::size_t at, std::int32_t v)
{
    putU32(b, at, static_cast<std::uint32_t>(v));
}

inline void putF32(MutableBytes b, std::size_t at, float v)
{
    putU32(b, at, std::bit_cast<std::uint32_t>(v));
}

} // namespace vardex::bytes

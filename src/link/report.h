#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace vardex::link {

// One HID report payload as the controller sees it: 64 bytes behind report ID 0.
// Byte 0 Code, 1 Sub, 2..4 Arg1..Arg3, 5 Len, 6..63 the 58 data bytes.
inline constexpr std::size_t kPayloadSize = 64;
inline constexpr std::size_t kOutputReportSize = kPayloadSize + 1; // report ID in front
inline constexpr std::size_t kDataOffset = 6;
inline constexpr std::size_t kDataSize = kPayloadSize - kDataOffset; // 58

using Payload = std::array<std::uint8_t, kPayloadSize>;

namespace pos {
inline constexpr std::size_t Code = 0;
inline constexpr std::size_t Sub = 1;
inline constexpr std::size_t Arg1 = 2;
inline constexpr std::size_t Arg2 = 3;
inline constexpr std::size_t Arg3 = 4;
inline constexpr std::size_t Len = 5;
inline constexpr std::size_t Data = kDataOffset;
} // namespace pos

} // namespace vardex::link

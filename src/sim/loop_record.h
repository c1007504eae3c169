#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace vardex::sim {

// One control loop's main record as the firmware understands it. It has two byte
// layouts of 56 bytes: the wire record of the loop read/write requests (from
// payload position 6) and the stored record the controller keeps in memory.
//
// Wire:   0 ContactUse, 1 TtlInputUse, 2 AnalogUse (bits 0..5) | HostControl << 6,
//         3 TemperUse, 4..15 AnalogLevelLo[6], 16..27 AnalogLevelHi[6],
//         28..39 TemperLevelLo[6], 40..51 TemperLevelHi[6] (int16),
//         52 ContactMode, 53 TtlInputMode, 54 AnalogMode, 55 TemperMode (bit k-1 = input k
//         inverted).
// Stored: bytes 0..3 as on the wire, 4..7 the four mode masks, 8..55 the four level
//         arrays.
struct LoopRecord {
    static constexpr std::size_t kSize = 56;
    using Bytes = std::array<std::uint8_t, kSize>;

    std::uint8_t contactUse = 0;
    std::uint8_t ttlInputUse = 0;
    std::uint8_t analogUse = 0;   // bits 0..5
    std::uint8_t hostControl = 0; // bits 0..1
    std::uint8_t temperUse = 0;
    std::uint8_t contactMode = 0;
    std::uint8_t ttlInputMode = 0;
    std::uint8_t analogMode = 0;
    std::uint8_t temperMode = 0;
    std::array<std::int16_t, 6> analogLo{};
    std::array<std::int16_t, 6> analogHi{};
    std::array<std::int16_t, 6> temperLo{};
    std::array<std::int16_t, 6> temperHi{};

    bool usesAnyInput() const { return contactUse || ttlInputUse || analogUse || temperUse; }

    Bytes encodeWire() const;
    static LoopRecord decodeWire(std::span<const std::uint8_t> bytes); // at least 56 bytes
    Bytes encodeStored() const;
    static LoopRecord decodeStored(std::span<const std::uint8_t> bytes); // at least 56 bytes

    bool operator==(const LoopRecord &) const = default;
};

} // namespace vardex::sim

#pragma once

#include <array>
#include <cstdint>

namespace vardex::sim {

// What the controller measures and drives right now, in the units of the state
// reply: analog values already scaled (volts), temperatures raw in the sensor's
// configured resolution, fan speeds in rpm, fan tasks in per cent.
struct LiveState {
    std::uint8_t contacts = 0;
    std::uint8_t ttlInputs = 0;
    std::array<float, 6> analog{}; // А1..А5, mains
    std::array<std::int16_t, 6> temperatures{};
    std::array<std::uint16_t, 4> fanSpeeds{};
    std::uint8_t ttlOutputs = 0;
    std::uint8_t switches = 0; // bits 0..3 high-side, 4..7 low-side
    std::uint8_t relays = 0;
    std::array<std::uint8_t, 4> fanTasks{};
    std::array<std::uint8_t, 8> flags{}; // flag 8*i+j+1 is bit j of byte i

    bool flag(int number) const // 1..64
    {
        return number >= 1 && number <= 64 && ((flags[(number - 1) / 8] >> ((number - 1) % 8)) & 1);
    }
    void setFlag(int number, bool on)
    {
        const auto bit = static_cast<std::uint8_t>(1u << ((number - 1) % 8));
        auto &byte = flags[(number - 1) / 8];
        byte = static_cast<std::uint8_t>(on ? byte | bit : byte & ~bit);
    }
};

// The last output task the computer sent (request code 3).
struct OutputTask {
    std::uint8_t ttlOutputs = 0;
    std::uint8_t switches = 0;
    std::uint8_t relays = 0;
    std::array<std::uint8_t, 4> fans{}; // per cent

    bool operator==(const OutputTask &) const = default;
};

// System flag numbers the firmware raises.
namespace flag {
inline constexpr int AnalogAlarm1 = 1; // 1..5 analog channels, 6 mains
inline constexpr int Battery = 7;
inline constexpr int TemperAlarm1 = 17; // 17..22
inline constexpr int FanFault1 = 29;    // 29..32
inline constexpr int LoopRuns1 = 33;    // 33..58: loop n runs (its inputs trip it)
} // namespace flag

// The 26 outputs in loop order (loop n drives output n unless its extended
// record names others): TTL 1..8, high-side 1..4, low-side 1..4, relays 1..6,
// fans (PWM) 1..4. The same bit order as the extended record's OutputMask.
namespace output {
inline constexpr int Count = 26;
inline constexpr int FirstSwitch = 8;
inline constexpr int FirstRelay = 16;
inline constexpr int FirstFan = 22;
} // namespace output

} // namespace vardex::sim

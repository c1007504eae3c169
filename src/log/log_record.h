#pragma once

#include <QDateTime>

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

// One event-log record: the controller's snapshot of inputs, outputs, fans and
// system flags with its date and time.
//
// The 84-byte image below is the unit of the record store and of the *.log file
// (little-endian, fields back to back):
//   0  uint32      number           record number as the controller sent it
//   4  uint8 x 6   day, month, year (since 2000), hour, minute, second
//   10 uint8       contacts         bit n-1 = limit-switch contact n
//   11 uint8       TTL inputs       bit n-1 = TTL input n
//   12 float32 x 5 analog 1..5
//   32 float32     mains (220 V)
//   36 int16 x 6   temperatures     raw sensor counts; scaled by the channel's resolution
//   48 uint16 x 4  fan speeds
//   56 uint8       TTL output state     59 uint8 TTL output control
//   57 uint8       switch state         60 uint8 switch control
//                  (bits 0..3 high-side 1..4, bits 4..7 low-side 1..4)
//   58 uint8       relay state          61 uint8 relay control (bits 0..5 relays 1..6)
//   62 uint8 x 4   fan tasks, per cent
//   66 uint16 x 8  flag groups 1..8: low byte one byte of system flags, high byte 0
//   82 uint16      reserved, zero in every record the program makes
//
// The controller sends 74 bytes: offsets 0..65 as above, then the eight flag bytes.
namespace vardex::log {

inline constexpr std::size_t kRecordSize = 84;
inline constexpr std::size_t kPayloadSize = 74;
inline constexpr int kAnalogs = 5;
inline constexpr int kSensors = 6;
inline constexpr int kFans = 4;
inline constexpr int kFlagGroups = 8;

struct LogRecord {
    using Bytes = std::array<std::uint8_t, kRecordSize>;

    std::uint32_t number = 0;
    std::uint8_t day = 0;
    std::uint8_t month = 0;
    std::uint8_t year = 0; // years since 2000
    std::uint8_t hour = 0;
    std::uint8_t minute = 0;
    std::uint8_t second = 0;
    std::uint8_t contacts = 0;
    std::uint8_t ttlInputs = 0;
    std::array<float, kAnalogs> analog{};
    float mains = 0;
    std::array<std::int16_t, kSensors> temperatures{};
    std::array<std::uint16_t, kFans> fanSpeeds{};
    std::uint8_t ttlOutputState = 0;
    std::uint8_t switchState = 0;
    std::uint8_t relayState = 0;
    std::uint8_t ttlOutputControl = 0;
    std::uint8_t switchControl = 0;
    std::uint8_t relayControl = 0;
    std::array<std::uint8_t, kFans> fanTasks{};
    // Kept as 16-bit words so that a record loaded from a file saves back unchanged.
    std::array<std::uint16_t, kFlagGroups> flagGroups{};
    std::uint16_t reserved = 0;

    // The 84-byte image; decode(encode()) and encode(decode(b)) are exact.
    Bytes encode() const;
    static LogRecord decode(std::span<const std::uint8_t, kRecordSize> bytes);
    // The controller's 74-byte payload: flag bytes widened to words, reserved zero.
    static LogRecord fromPayload(std::span<const std::uint8_t, kPayloadSize> payload);

    // System flag 1..64: bit (k-1) mod 8 of flag group (k-1) div 8 + 1.
    bool flag(int k) const;
    // The record's date and time (year + 2000); invalid when the bytes are no date.
    QDateTime timestamp() const;
};

} // namespace vardex::log

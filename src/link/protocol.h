#pragma once

#include "link/device_image.h"
#include "link/report.h"

#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <span>

// Every request the program sends and the decoders of the replies that carry data.
// Pure: a builder's payload depends only on its arguments, every byte not listed for
// a request is zero. Positions are payload positions (0 Code, 1 Sub, 2..4 Arg1..Arg3,
// 5 Len, 6..63 data); multi-byte values are little-endian.
namespace vardex::link::protocol {

namespace code {
inline constexpr std::uint8_t ConfigPage = 1;
inline constexpr std::uint8_t State = 2;
inline constexpr std::uint8_t OutputTask = 3;
inline constexpr std::uint8_t Clock = 4;
inline constexpr std::uint8_t WriteClock = 5;
inline constexpr std::uint8_t Loop = 6;
inline constexpr std::uint8_t WriteLoop = 7;
inline constexpr std::uint8_t WriteConfigPage = 9;
inline constexpr std::uint8_t Unsolicited10 = 10;
inline constexpr std::uint8_t LogRecord = 11;
inline constexpr std::uint8_t SerialSend = 12;
inline constexpr std::uint8_t SerialRead = 13;
inline constexpr std::uint8_t Hash = 15;
inline constexpr std::uint8_t MemoryRead = 32;
inline constexpr std::uint8_t MemoryWrite = 33;
inline constexpr std::uint8_t Identity = 34;
inline constexpr std::uint8_t Unsolicited35 = 35;
} // namespace code

// Sub-codes of the signed-command requests (Code 15).
namespace hash {
inline constexpr std::uint8_t SendHash = 0;
inline constexpr std::uint8_t GenerateKey = 1;
inline constexpr std::uint8_t ResetHash = 2;
inline constexpr std::uint8_t ReadOpenKey = 3;
} // namespace hash

inline constexpr std::uint8_t kIdentitySub = 33;
inline constexpr int kConfigPages = 4;
inline constexpr int kMaxAddress = 8191;
inline constexpr int kMemoryBlock = 58; // bytes per memory request
inline constexpr int kLogHalf = 50;     // LogRecordBuffer offset of the second half

enum class LoopRecord : std::uint8_t { Main = 0, Extended = 1 };

// A request the builder refused to make; error is a text the caller can show.
struct Request {
    std::optional<Payload> payload;
    QString error;

    explicit operator bool() const { return payload.has_value(); }
};

// ---- state, clock, outputs, identity, serial line ----

Payload readState(std::uint8_t sub);
Payload readClock();
// The year travels as one byte: years after 2000 as year - 2000, others as the low byte.
Payload writeClock(int year, int month, int day, int hour, int minute, int second);
Payload writeOutputTask(const OutputTask &task);
Payload writeOutputTask(std::uint8_t ttlOutputs, std::uint8_t switches, std::uint8_t relays,
                        const std::array<std::uint8_t, kFans> &fanTasks);
Payload readIdentity();
// At most 58 bytes fit; more is refused rather than cut.
Request serialSend(std::span<const std::uint8_t> bytes);
Payload serialRead();

// ---- configuration pages and loop records ----

Payload readConfigPage(int page);
// Pages 0..3; any other page is refused.
Request writeConfigPage(int page, const MonitorConfig &config);
Payload readLoop(int n, LoopRecord kind);
Payload writeLoop(int n, const UprLoopConfig &loop);
Payload writeLoopExt(int n, const UprLoopConfigExt &ext);

// ---- controller memory and event log ----

// Addresses above 8191 read from 8191; counts above 58 are sent as 58.
Payload memoryRead(int address, int count);
// Counts outside 1..58 are refused: nothing is sent.
Request memoryWrite(int address, std::span<const std::uint8_t> bytes);
Payload readLogRecord(int number);

// ---- signed commands ----

Payload generateKey();
Payload readOpenKey();
Payload sendHash(const std::array<std::uint8_t, 20> &digest);
Payload resetHash();

// ---- reply decoders: store what a reply carries into the image ----

void decodeState(const Payload &reply, MonitorState &state);      // Code 2 Sub 0
void decodeStateFlags(const Payload &reply, MonitorState &state); // Code 2 Sub 1
void decodeClock(const Payload &reply, DeviceClock &clock);       // Code 4
// Code 1; false (nothing stored) for a page outside 0..3.
bool decodeConfigPage(const Payload &reply, MonitorConfig &config);
// Code 6 record bodies; the fill byte at offset 5 is left alone.
void decodeLoop(const Payload &reply, UprLoopConfig &loop);
void decodeLoopExt(const Payload &reply, UprLoopConfigExt &ext);
// Code 11: one half of a log record, at most 50 bytes, clipped to the buffer.
// Returns the number of bytes copied.
std::size_t copyLogRecordHalf(const Payload &reply, std::span<std::uint8_t> buffer);

} // namespace vardex::link::protocol

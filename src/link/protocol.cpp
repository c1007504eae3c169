#include "link/protocol.h"

#include "link/bytes.h"
#include "link/stored_loop.h"

#include <algorithm>

namespace vardex::link::protocol {

using namespace vardex::bytes;

namespace {

Payload header(std::uint8_t code, std::uint8_t sub = 0, std::uint8_t len = 0)
{
    Payload p{};
    p[pos::Code] = code;
    p[pos::Sub] = sub;
    p[pos::Len] = len;
    return p;
}

std::uint8_t lo(int v)
{
    return static_cast<std::uint8_t>(v & 0xFF);
}
std::uint8_t hi(int v)
{
    return static_cast<std::uint8_t>((v >> 8) & 0xFF);
}

// Wire widths narrower than the 32-bit holders: the low bits are sent,
// received values are zero-extended.
std::uint16_t low16(std::int32_t v)
{
    return static_cast<std::uint16_t>(v & 0xFFFF);
}
std::uint8_t low8(std::int32_t v)
{
    return static_cast<std::uint8_t>(v & 0xFF);
}

} // namespace

// ---- state, clock, outputs, identity, serial line -----------------------------------------

Payload readState(std::uint8_t sub)
{
    return header(code::State, sub);
}

Payload readClock()
{
    return header(code::Clock);
}

// Code 5, Len 6: 6 year, 7 month, 8 day, 9 hour, 10 minute, 11 second.
Payload writeClock(int year, int month, int day, int hour, int minute, int second)
{
    Payload p = header(code::WriteClock, 0, 6);
    p[6] = year > 2000 ? lo(year - 2000) : lo(year);
    p[7] = lo(month);
    p[8] = lo(day);
    p[9] = lo(hour);
    p[10] = lo(minute);
    p[11] = lo(second);
    return p;
}

Payload writeOutputTask(const OutputTask &task)
{
    return writeOutputTask(task.ttlOutputsTask, task.switchesTask, task.relaysTask, task.fanTask);
}

// Code 3, Len 8: 6 TTL outputs, 7 switches, 8 relays, 9..12 fan tasks in per cent.
Payload writeOutputTask(std::uint8_t ttlOutputs, std::uint8_t switches, std::uint8_t relays,
                        const std::array<std::uint8_t, kFans> &fanTasks)
{
    Payload p = header(code::OutputTask, 0, 8);
    p[6] = ttlOutputs;
    p[7] = switches;
    p[8] = relays;
    std::copy(fanTasks.begin(), fanTasks.end(), p.begin() + 9);
    return p;
}

Payload readIdentity()
{
    return header(code::Identity, kIdentitySub);
}

// Code 12, Len n, the bytes from position 6.
Request serialSend(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() > kDataSize) {
        return {std::nullopt, QStringLiteral("Слишком длинная посылка: %1 байт, допустимо не "
                                             "более %2")
                                  .arg(bytes.size())
                                  .arg(kDataSize)};
    }
    Payload p = header(code::SerialSend, 0, static_cast<std::uint8_t>(bytes.size()));
    std::copy(bytes.begin(), bytes.end(), p.begin() + pos::Data);
    return {p, {}};
}

Payload serialRead()
{
    return header(code::SerialRead);
}

// ---- configuration pages --------------------------------------------------------------------
//
// Page 0 (request Len 10): 6 HardwareConfigNumber, 7 Reserved0, 8..15 the eight enable
//   masks, 16..19 LogPeriod, LogAlarmPeriod, AnalogLogEnable, DallasLogEnable. The reply
//   carries FirmwareVersion and BuildVariant in front, so its positions are two higher.
// Page 1 (Len 48): 6..29 AnalogA 1..6, 30..53 AnalogB 1..6, floats.
// Page 2 (Len 14, 26 data bytes follow): 6..11 DallasResolution, 12..15 FanMin,
//   16..19 FanImpulse, 20..25 AnalogAlarmDebounce, 26..31 DallasAlarmDebounce (8 bits).
// Page 3 (Len 48): 6..17 AnalogAlarmLow, 18..29 AnalogAlarmHigh, 30..41 TemperAlarmLow,
//   42..53 TemperAlarmHigh, 16 bits each.

namespace {

constexpr std::array<std::uint8_t, kConfigPages> kPageLen = {10, 48, 14, 48};

void putPage0(MutableBytes p, std::size_t at, const MonitorConfig &c)
{
    const std::array<std::uint8_t, 14> fields = {
        c.hardwareConfigNumber, c.reserved0,      c.contactEnable,   c.ttlInputEnable,
        c.analogEnable,         c.temperEnable,   c.ttlOutputEnable, c.switchEnable,
        c.relayEnable,          c.fanEnable,      c.logPeriod,       c.logAlarmPeriod,
        c.analogLogEnable,      c.dallasLogEnable};
    for (std::size_t i = 0; i < fields.size(); ++i)
        putU8(p, at + i, fields[i]);
}

void getPage0(Bytes p, std::size_t at, MonitorConfig &c)
{
    std::uint8_t *fields[] = {
        &c.hardwareConfigNumber, &c.reserved0,      &c.contactEnable,   &c.ttlInputEnable,
        &c.analogEnable,         &c.temperEnable,   &c.ttlOutputEnable, &c.switchEnable,
        &c.relayEnable,          &c.fanEnable,      &c.logPeriod,       &c.logAlarmPeriod,
        &c.analogLogEnable,      &c.dallasLogEnable};
    for (std::size_t i = 0; i < std::size(fields); ++i)
        *fields[i] = u8(p, at + i);
}

} // namespace

Payload readConfigPage(int page)
{
    return header(code::ConfigPage, lo(page));
}

Request writeConfigPage(int page, const MonitorConfig &c)
{
    if (page < 0 || page >= kConfigPages)
        return {std::nullopt, QStringLiteral("Нет страницы конфигурации %1").arg(page)};
    Payload p = header(code::WriteConfigPage, lo(page), kPageLen[static_cast<std::size_t>(page)]);
    MutableBytes m(p);
    switch (page) {
    case 0:
        putPage0(m, 6, c);
        break;
    case 1:
        for (int i = 0; i < kAnalogChannels; ++i) {
            putF32(m, 6 + 4 * i, c.analogA[i]);
            putF32(m, 30 + 4 * i, c.analogB[i]);
        }
        break;
    case 2:
        for (int i = 0; i < kSensors; ++i) {
            putU8(m, 6 + i, c.dallasResolution[i]);
            putU8(m, 26 + i, low8(c.dallasAlarmDebounce[i]));
        }
        for (int i = 0; i < kFans; ++i) {
            putU8(m, 12 + i, c.fanMin[i]);
            putU8(m, 16 + i, c.fanImpulse[i]);
        }
        for (int i = 0; i < kAnalogChannels; ++i)
            putU8(m, 20 + i, low8(c.analogAlarmDebounce[i]));
        break;
    case 3:
        for (int i = 0; i < kAnalogChannels; ++i) {
            putU16(m, 6 + 2 * i, low16(c.analogAlarmLow[i]));
            putU16(m, 18 + 2 * i, low16(c.analogAlarmHigh[i]));
        }
        for (int i = 0; i < kSensors; ++i) {
            putU16(m, 30 + 2 * i, low16(c.temperAlarmLow[i]));
            putU16(m, 42 + 2 * i, low16(c.temperAlarmHigh[i]));
        }
        break;
    }
    return {p, {}};
}

bool decodeConfigPage(const Payload &reply, MonitorConfig &c)
{
    const Bytes p(reply);
    switch (reply[pos::Sub]) {
    case 0:
        c.firmwareVersion = u8(p, 6);
        c.buildVariant = u8(p, 7);
        getPage0(p, 8, c);
        return true;
    case 1:
        for (int i = 0; i < kAnalogChannels; ++i) {
            c.analogA[i] = f32(p, 6 + 4 * i);
            c.analogB[i] = f32(p, 30 + 4 * i);
        }
        return true;
    case 2:
        for (int i = 0; i < kSensors; ++i) {
            c.dallasResolution[i] = u8(p, 6 + i);
            c.dallasAlarmDebounce[i] = u8(p, 26 + i);
        }
        for (int i = 0; i < kFans; ++i) {
            c.fanMin[i] = u8(p, 12 + i);
            c.fanImpulse[i] = u8(p, 16 + i);
        }
        for (int i = 0; i < kAnalogChannels; ++i)
            c.analogAlarmDebounce[i] = u8(p, 20 + i);
        return true;
    case 3:
        for (int i = 0; i < kAnalogChannels; ++i) {
            c.analogAlarmLow[i] = u16(p, 6 + 2 * i);
            c.analogAlarmHigh[i] = u16(p, 18 + 2 * i);
        }
        for (int i = 0; i < kSensors; ++i) {
            c.temperAlarmLow[i] = u16(p, 30 + 2 * i);
            c.temperAlarmHigh[i] = u16(p, 42 + 2 * i);
        }
        return true;
    default:
        return false;
    }
}

// ---- loop records ---------------------------------------------------------------------------
//
// Main record (Arg1 0, Len 56): 6 ContactUse, 7 TtlInputUse, 8 AnalogUse (bits 0..5) with
//   HostControl in bits 6..7, 9 TemperUse, 10..21 AnalogLevelLo, 22..33 AnalogLevelHi,
//   34..45 TemperLevelLo, 46..57 TemperLevelHi (16-bit signed), 58..61 ContactMode,
//   TtlInputMode, AnalogMode, TemperMode as one bit per input (bit k-1 = input k).
// Extended record (Arg1 1, Len 12): 6..7 TimerOff, 8..9 TimerOn, 10 PulseNumber,
//   11 Logic, 12 UsbMode, 13 Dimmer, 14..17 OutputMask.

Payload readLoop(int n, LoopRecord kind)
{
    Payload p = header(code::Loop, lo(n));
    p[pos::Arg1] = static_cast<std::uint8_t>(kind);
    return p;
}

Payload writeLoop(int n, const UprLoopConfig &l)
{
    Payload p = header(code::WriteLoop, lo(n), 56);
    p[pos::Arg1] = static_cast<std::uint8_t>(LoopRecord::Main);
    MutableBytes m(p);
    putU8(m, 6, l.contactUse);
    putU8(m, 7, l.ttlInputUse);
    putU8(m, 8, loopcodec::packUse(l.analogUse, l.hostControl));
    putU8(m, 9, l.temperUse);
    for (int i = 0; i < 6; ++i) {
        putI16(m, 10 + 2 * i, l.analogLevelLo[i]);
        putI16(m, 22 + 2 * i, l.analogLevelHi[i]);
        putI16(m, 34 + 2 * i, l.temperLevelLo[i]);
        putI16(m, 46 + 2 * i, l.temperLevelHi[i]);
    }
    putU8(m, 58, loopcodec::packModes(l.contactMode));
    putU8(m, 59, loopcodec::packModes(l.ttlInputMode));
    putU8(m, 60, loopcodec::packModes(l.analogMode));
    putU8(m, 61, loopcodec::packModes(l.temperMode));
    return p;
}

void decodeLoop(const Payload &reply, UprLoopConfig &l)
{
    const Bytes p(reply);
    l.contactUse = u8(p, 6);
    l.ttlInputUse = u8(p, 7);
    loopcodec::splitUse(u8(p, 8), l.analogUse, l.hostControl);
    l.temperUse = u8(p, 9);
    for (int i = 0; i < 6; ++i) {
        l.analogLevelLo[i] = i16(p, 10 + 2 * i);
        l.analogLevelHi[i] = i16(p, 22 + 2 * i);
        l.temperLevelLo[i] = i16(p, 34 + 2 * i);
        l.temperLevelHi[i] = i16(p, 46 + 2 * i);
    }
    loopcodec::expandModes(u8(p, 58), l.contactMode);
    loopcodec::expandModes(u8(p, 59), l.ttlInputMode);
    loopcodec::expandModes(u8(p, 60), l.analogMode);
    loopcodec::expandModes(u8(p, 61), l.temperMode);
}

Payload writeLoopExt(int n, const UprLoopConfigExt &e)
{
    Payload p = header(code::WriteLoop, lo(n), 12);
    p[pos::Arg1] = static_cast<std::uint8_t>(LoopRecord::Extended);
    MutableBytes m(p);
    putU16(m, 6, e.timerOff);
    putU16(m, 8, e.timerOn);
    putU8(m, 10, e.pulseNumber);
    putU8(m, 11, e.logic);
    putU8(m, 12, e.usbMode);
    putU8(m, 13, e.dimmer);
    putU32(m, 14, e.outputMask);
    return p;
}

void decodeLoopExt(const Payload &reply, UprLoopConfigExt &e)
{
    const Bytes p(reply);
    e.timerOff = u16(p, 6);
    e.timerOn = u16(p, 8);
    e.pulseNumber = u8(p, 10);
    e.logic = u8(p, 11);
    e.usbMode = u8(p, 12);
    e.dimmer = u8(p, 13);
    e.outputMask = u32(p, 14);
}

// ---- controller memory and event log --------------------------------------------------------

namespace {

int clampAddress(int address)
{
    return std::clamp(address, 0, kMaxAddress);
}

} // namespace

// Code 32: address low byte in Sub, high byte in Arg1, Len = count.
Payload memoryRead(int address, int count)
{
    const int a = clampAddress(address);
    Payload p = header(code::MemoryRead, lo(a), lo(std::clamp(count, 0, kMemoryBlock)));
    p[pos::Arg1] = hi(a);
    return p;
}

// Code 33: address as for reading, Len = count, the bytes from position 6.
Request memoryWrite(int address, std::span<const std::uint8_t> bytes)
{
    if (bytes.empty() || bytes.size() > static_cast<std::size_t>(kMemoryBlock)) {
        return {std::nullopt, QStringLiteral("Неверная длина записи в память: %1 байт "
                                             "(допустимо от 1 до %2)")
                                  .arg(bytes.size())
                                  .arg(kMemoryBlock)};
    }
    const int a = clampAddress(address);
    Payload p = header(code::MemoryWrite, lo(a), static_cast<std::uint8_t>(bytes.size()));
    p[pos::Arg1] = hi(a);
    std::copy(bytes.begin(), bytes.end(), p.begin() + pos::Data);
    return {p, {}};
}

// Code 11: record number low byte in Arg1, high byte in Arg2.
Payload readLogRecord(int number)
{
    Payload p = header(code::LogRecord);
    p[pos::Arg1] = lo(number);
    p[pos::Arg2] = hi(number);
    return p;
}

// Sub 0 goes to buffer offset 0, Sub 1 to offset 50, Len bytes each. A half owns 50
// bytes: a longer Len is cut there, so the first half never spills into the second
// half's place (where a lost second report would leave it as if it were data).
std::size_t copyLogRecordHalf(const Payload &reply, std::span<std::uint8_t> buffer)
{
    const std::size_t offset = std::size_t{kLogHalf} * reply[pos::Sub];
    if (offset >= buffer.size())
        return 0;
    const std::size_t count =
        std::min({std::size_t{reply[pos::Len]}, std::size_t{kLogHalf}, buffer.size() - offset});
    std::copy_n(reply.begin() + pos::Data, count, buffer.begin() + offset);
    return count;
}

// ---- signed commands ------------------------------------------------------------------------

Payload generateKey()
{
    return header(code::Hash, hash::GenerateKey);
}

Payload readOpenKey()
{
    return header(code::Hash, hash::ReadOpenKey);
}

Payload resetHash()
{
    return header(code::Hash, hash::ResetHash);
}

// Sub 0, Len 20, positions 6..25 the digest.
Payload sendHash(const std::array<std::uint8_t, 20> &digest)
{
    Payload p = header(code::Hash, hash::SendHash, 20);
    std::copy(digest.begin(), digest.end(), p.begin() + pos::Data);
    return p;
}

// ---- state and clock replies ----------------------------------------------------------------
//
// State Sub 0: 6 contacts, 7 TTL inputs, 8..31 analog values (floats), 32..43 temperatures
//   (16-bit signed), 44..51 fan speeds (16-bit), 52 TTL outputs, 53 switches, 54 relays,
//   55..58 fan tasks, 59..62 flag bytes 1..4. State Sub 1: 6..9 flag bytes 5..8.
// Clock: 6..11 year since 2000, month, day, hour, minute, second.

void decodeState(const Payload &reply, MonitorState &s)
{
    const Bytes p(reply);
    s.contactInputs = u8(p, 6);
    s.ttlInputs = u8(p, 7);
    for (int i = 0; i < kAnalogChannels; ++i)
        s.analogValues[i] = f32(p, 8 + 4 * i);
    for (int i = 0; i < kSensors; ++i)
        s.temperatures[i] = i16(p, 32 + 2 * i);
    for (int i = 0; i < kFans; ++i) {
        s.fanSpeeds[i] = u16(p, 44 + 2 * i);
        s.fanTasks[i] = u8(p, 55 + i);
    }
    s.ttlOutputs = u8(p, 52);
    s.switches = u8(p, 53);
    s.relays = u8(p, 54);
    for (int i = 0; i < 4; ++i)
        s.systemFlags[i] = u8(p, 59 + i);
}

void decodeStateFlags(const Payload &reply, MonitorState &s)
{
    for (int i = 0; i < 4; ++i)
        s.systemFlags[4 + i] = reply[6 + i];
}

void decodeClock(const Payload &reply, DeviceClock &c)
{
    c.year = reply[6];
    c.month = reply[7];
    c.day = reply[8];
    c.hour = reply[9];
    c.minute = reply[10];
    c.second = reply[11];
}

} // namespace vardex::link::protocol

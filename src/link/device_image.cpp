#include "link/device_image.h"

#include "link/bytes.h"

#include <algorithm>
#include <cassert>
#include <utility>

namespace vardex::link {

using namespace vardex::bytes;

namespace {

template <typename T, std::size_t N, typename Get>
void readArray(std::array<T, N> &out, std::size_t at, std::size_t stride, Get get)
{
    for (std::size_t i = 0; i < N; ++i)
        out[i] = get(at + i * stride);
}

} // namespace

bool MonitorState::flag(int number) const
{
    if (number < 1 || number > 64)
        return false;
    const int element = (number - 1) / 8;
    const int bit = (number - 1) % 8;
    return (systemFlags[element] >> bit) & 1;
}

// ---- MonitorConfig: 224 bytes -------------------------------------------------------------

static_assert(MonitorConfig::kSize == 224);

MonitorConfig::Bytes MonitorConfig::encode() const
{
    Bytes b{};
    MutableBytes m(b);
    putU8(m, 0, firmwareVersion);
    putU8(m, 1, buildVariant);
    putU8(m, 2, hardwareConfigNumber);
    putU8(m, 3, reserved0);
    putU8(m, 4, contactEnable);
    putU8(m, 5, ttlInputEnable);
    putU8(m, 6, analogEnable);
    putU8(m, 7, temperEnable);
    putU8(m, 8, ttlOutputEnable);
    putU8(m, 9, switchEnable);
    putU8(m, 10, relayEnable);
    putU8(m, 11, fanEnable);
    for (int i = 0; i < kAnalogChannels; ++i) {
        putF32(m, 12 + 4 * i, analogA[i]);
        putF32(m, 36 + 4 * i, analogB[i]);
        putI32(m, 76 + 4 * i, analogAlarmLow[i]);
        putI32(m, 100 + 4 * i, analogAlarmHigh[i]);
        putI32(m, 172 + 4 * i, analogAlarmDebounce[i]);
    }
    for (int i = 0; i < kSensors; ++i) {
        putU8(m, 60 + i, dallasResolution[i]);
        putI32(m, 124 + 4 * i, temperAlarmLow[i]);
        putI32(m, 148 + 4 * i, temperAlarmHigh[i]);
        putI32(m, 196 + 4 * i, dallasAlarmDebounce[i]);
    }
    for (int i = 0; i < kFans; ++i) {
        putU8(m, 66 + i, fanMin[i]);
        putU8(m, 70 + i, fanImpulse[i]);
    }
    putU8(m, 74, fill74[0]);
    putU8(m, 75, fill74[1]);
    putU8(m, 220, logPeriod);
    putU8(m, 221, logAlarmPeriod);
    putU8(m, 222, analogLogEnable);
    putU8(m, 223, dallasLogEnable);
    return b;
}

MonitorConfig MonitorConfig::decode(const Bytes &b)
{
    MonitorConfig c;
    const vardex::bytes::Bytes s(b);
    c.firmwareVersion = u8(s, 0);
    c.buildVariant = u8(s, 1);
    c.hardwareConfigNumber = u8(s, 2);
    c.reserved0 = u8(s, 3);
    c.contactEnable = u8(s, 4);
    c.ttlInputEnable = u8(s, 5);
    c.analogEnable = u8(s, 6);
    c.temperEnable = u8(s, 7);
    c.ttlOutputEnable = u8(s, 8);
    c.switchEnable = u8(s, 9);
    c.relayEnable = u8(s, 10);
    c.fanEnable = u8(s, 11);
    readArray(c.analogA, 12, 4, [&](std::size_t at) { return f32(s, at); });
    readArray(c.analogB, 36, 4, [&](std::size_t at) { return f32(s, at); });
    readArray(c.dallasResolution, 60, 1, [&](std::size_t at) { return u8(s, at); });
    readArray(c.fanMin, 66, 1, [&](std::size_t at) { return u8(s, at); });
    readArray(c.fanImpulse, 70, 1, [&](std::size_t at) { return u8(s, at); });
    readArray(c.fill74, 74, 1, [&](std::size_t at) { return u8(s, at); });
    readArray(c.analogAlarmLow, 76, 4, [&](std::size_t at) { return i32(s, at); });
    readArray(c.analogAlarmHigh, 100, 4, [&](std::size_t at) { return i32(s, at); });
    readArray(c.temperAlarmLow, 124, 4, [&](std::size_t at) { return i32(s, at); });
    readArray(c.temperAlarmHigh, 148, 4, [&](std::size_t at) { return i32(s, at); });
    readArray(c.analogAlarmDebounce, 172, 4, [&](std::size_t at) { return i32(s, at); });
    readArray(c.dallasAlarmDebounce, 196, 4, [&](std::size_t at) { return i32(s, at); });
    c.logPeriod = u8(s, 220);
    c.logAlarmPeriod = u8(s, 221);
    c.analogLogEnable = u8(s, 222);
    c.dallasLogEnable = u8(s, 223);
    return c;
}

void MonitorConfig::overlay(std::span<const std::uint8_t> leading)
{
    Bytes b = encode();
    std::copy_n(leading.begin(), std::min(leading.size(), b.size()), b.begin());
    *this = decode(b);
}

// ---- UprLoopConfig: 82 bytes --------------------------------------------------------------

static_assert(UprLoopConfig::kSize == 6 + 4 * 12 + 8 + 8 + 6 + 6);

UprLoopConfig::Bytes UprLoopConfig::encode() const
{
    Bytes b{};
    MutableBytes m(b);
    putU8(m, 0, contactUse);
    putU8(m, 1, ttlInputUse);
    putU8(m, 2, analogUse);
    putU8(m, 3, temperUse);
    putU8(m, 4, hostControl);
    putU8(m, 5, fill5);
    for (int i = 0; i < 6; ++i) {
        putI16(m, 6 + 2 * i, analogLevelLo[i]);
        putI16(m, 18 + 2 * i, analogLevelHi[i]);
        putI16(m, 30 + 2 * i, temperLevelLo[i]);
        putI16(m, 42 + 2 * i, temperLevelHi[i]);
        putU8(m, 70 + i, analogMode[i]);
        putU8(m, 76 + i, temperMode[i]);
    }
    for (int i = 0; i < 8; ++i) {
        putU8(m, 54 + i, contactMode[i]);
        putU8(m, 62 + i, ttlInputMode[i]);
    }
    return b;
}

UprLoopConfig UprLoopConfig::decode(const Bytes &b)
{
    UprLoopConfig l;
    const vardex::bytes::Bytes s(b);
    l.contactUse = u8(s, 0);
    l.ttlInputUse = u8(s, 1);
    l.analogUse = u8(s, 2);
    l.temperUse = u8(s, 3);
    l.hostControl = u8(s, 4);
    l.fill5 = u8(s, 5);
    readArray(l.analogLevelLo, 6, 2, [&](std::size_t at) { return i16(s, at); });
    readArray(l.analogLevelHi, 18, 2, [&](std::size_t at) { return i16(s, at); });
    readArray(l.temperLevelLo, 30, 2, [&](std::size_t at) { return i16(s, at); });
    readArray(l.temperLevelHi, 42, 2, [&](std::size_t at) { return i16(s, at); });
    readArray(l.contactMode, 54, 1, [&](std::size_t at) { return u8(s, at); });
    readArray(l.ttlInputMode, 62, 1, [&](std::size_t at) { return u8(s, at); });
    readArray(l.analogMode, 70, 1, [&](std::size_t at) { return u8(s, at); });
    readArray(l.temperMode, 76, 1, [&](std::size_t at) { return u8(s, at); });
    return l;
}

void UprLoopConfig::clearInputs()
{
    contactUse = ttlInputUse = analogUse = temperUse = hostControl = 0;
    analogLevelLo.fill(0);
    analogLevelHi.fill(0);
    temperLevelLo.fill(0);
    temperLevelHi.fill(0);
}

// ---- UprLoopConfigExt: 12 bytes -----------------------------------------------------------

static_assert(UprLoopConfigExt::kSize == 2 + 2 + 1 + 1 + 1 + 1 + 4);

UprLoopConfigExt::Bytes UprLoopConfigExt::encode() const
{
    Bytes b{};
    MutableBytes m(b);
    putU16(m, 0, timerOff);
    putU16(m, 2, timerOn);
    putU8(m, 4, pulseNumber);
    putU8(m, 5, logic);
    putU8(m, 6, usbMode);
    putU8(m, 7, dimmer);
    putU32(m, 8, outputMask);
    return b;
}

UprLoopConfigExt UprLoopConfigExt::decode(const Bytes &b)
{
    UprLoopConfigExt e;
    const vardex::bytes::Bytes s(b);
    e.timerOff = u16(s, 0);
    e.timerOn = u16(s, 2);
    e.pulseNumber = u8(s, 4);
    e.logic = u8(s, 5);
    e.usbMode = u8(s, 6);
    e.dimmer = u8(s, 7);
    e.outputMask = u32(s, 8);
    return e;
}

// ---- DeviceImage --------------------------------------------------------------------------

bool temperatureScale(int resolutionCode, float *scale)
{
    if (resolutionCode < 0 || resolutionCode >= static_cast<int>(kTemperatureScale.size()))
        return false;
    *scale = kTemperatureScale[static_cast<std::size_t>(resolutionCode)];
    return true;
}

UprLoopConfig &DeviceImage::loop(int n)
{
    assert(n >= 1 && n <= kLoopCount);
    return loops.at(static_cast<std::size_t>(n - 1));
}

const UprLoopConfig &DeviceImage::loop(int n) const
{
    assert(n >= 1 && n <= kLoopCount);
    return loops.at(static_cast<std::size_t>(n - 1));
}

UprLoopConfigExt &DeviceImage::loopExt(int n)
{
    assert(n >= 1 && n <= kLoopCount);
    return loopExts.at(static_cast<std::size_t>(n - 1));
}

const UprLoopConfigExt &DeviceImage::loopExt(int n) const
{
    assert(n >= 1 && n <= kLoopCount);
    return loopExts.at(static_cast<std::size_t>(n - 1));
}

MonitorConfig &DeviceImage::configTarget(int page)
{
    bool pending = false;
    if (page >= 0 && page < static_cast<int>(aside.pagePending.size()))
        pending = std::exchange(aside.pagePending[static_cast<std::size_t>(page)], false);
    return aside.configOpen > 0 || pending ? aside.config : config;
}

UprLoopConfig &DeviceImage::loopTarget(int n)
{
    assert(n >= 1 && n <= kLoopCount);
    const auto i = static_cast<std::size_t>(n - 1);
    const bool pending = std::exchange(aside.loopPending[i][0], false);
    return (aside.loopsOpen > 0 || pending ? aside.loops : loops).at(i);
}

UprLoopConfigExt &DeviceImage::loopExtTarget(int n)
{
    assert(n >= 1 && n <= kLoopCount);
    const auto i = static_cast<std::size_t>(n - 1);
    const bool pending = std::exchange(aside.loopPending[i][1], false);
    return (aside.loopsOpen > 0 || pending ? aside.loopExts : loopExts).at(i);
}

std::size_t DeviceImage::loopFileSize() const
{
    const std::size_t main = kLoopCount * UprLoopConfig::kSize;
    return hasExtendedLoops() ? main + kLoopCount * UprLoopConfigExt::kSize : main;
}

std::vector<std::uint8_t> DeviceImage::encodeLoopFile() const
{
    std::vector<std::uint8_t> out;
    out.reserve(loopFileSize());
    for (const auto &l : loops) {
        const auto b = l.encode();
        out.insert(out.end(), b.begin(), b.end());
    }
    if (hasExtendedLoops()) {
        for (const auto &e : loopExts) {
            const auto b = e.encode();
            out.insert(out.end(), b.begin(), b.end());
        }
    }
    return out;
}

} // namespace vardex::link

#include "sim/config_pages.h"

#include "link/bytes.h"

#include <algorithm>
#include <cassert>

namespace vardex::sim {

using namespace vardex::bytes;

std::span<const std::uint8_t> ConfigPages::page(int n) const
{
    return const_cast<ConfigPages *>(this)->page(n);
}

std::span<std::uint8_t> ConfigPages::page(int n)
{
    switch (n) {
    case 0:
        return m_page0;
    case 1:
        return m_page1;
    case 2:
        return m_page2;
    case 3:
        return m_page3;
    default:
        return {};
    }
}

void ConfigPages::writeFromRequest(int n, std::span<const std::uint8_t> data)
{
    std::span<std::uint8_t> target = page(n);
    if (n == 0)
        target = target.subspan(kReadOnlyBytes);
    std::copy_n(data.begin(), std::min(data.size(), target.size()), target.begin());
}

void ConfigPages::setVersions(std::uint8_t firmware, std::uint8_t variant)
{
    m_page0[0] = firmware;
    m_page0[1] = variant;
}

void ConfigPages::setLogging(std::uint8_t period, std::uint8_t alarmPeriod, std::uint8_t analogMask,
                             std::uint8_t dallasMask)
{
    m_page0[12] = period;
    m_page0[13] = alarmPeriod;
    m_page0[14] = analogMask;
    m_page0[15] = dallasMask;
}

namespace {
std::size_t index(int n, int count)
{
    assert(n >= 1 && n <= count);
    return static_cast<std::size_t>(std::clamp(n, 1, count) - 1);
}
} // namespace

float ConfigPages::analogA(int ch) const
{
    return f32(m_page1, 4 * index(ch, 6));
}

float ConfigPages::analogB(int ch) const
{
    return f32(m_page1, 24 + 4 * index(ch, 6));
}

void ConfigPages::setAnalogScale(int ch, float a, float b)
{
    putF32(m_page1, 4 * index(ch, 6), a);
    putF32(m_page1, 24 + 4 * index(ch, 6), b);
}

std::uint8_t ConfigPages::resolution(int sensor) const
{
    return m_page2[index(sensor, 6)];
}

void ConfigPages::setResolution(int sensor, std::uint8_t code)
{
    m_page2[index(sensor, 6)] = code;
}

std::uint8_t ConfigPages::fanMin(int fan) const
{
    return m_page2[6 + index(fan, 4)];
}

void ConfigPages::setFan(int fan, std::uint8_t minPercent, std::uint8_t impulseCode)
{
    m_page2[6 + index(fan, 4)] = minPercent;
    m_page2[10 + index(fan, 4)] = impulseCode;
}

void ConfigPages::setDebounce(int ch, std::uint8_t analog, std::uint8_t dallas)
{
    m_page2[14 + index(ch, 6)] = analog;
    m_page2[20 + index(ch, 6)] = dallas;
}

std::uint16_t ConfigPages::analogAlarmLow(int ch) const
{
    return u16(m_page3, 2 * index(ch, 6));
}

std::uint16_t ConfigPages::analogAlarmHigh(int ch) const
{
    return u16(m_page3, 12 + 2 * index(ch, 6));
}

void ConfigPages::setAnalogAlarm(int ch, std::uint16_t low, std::uint16_t high)
{
    putU16(m_page3, 2 * index(ch, 6), low);
    putU16(m_page3, 12 + 2 * index(ch, 6), high);
}

std::int16_t ConfigPages::temperAlarmLow(int sensor) const
{
    return i16(m_page3, 24 + 2 * index(sensor, 6));
}

std::int16_t ConfigPages::temperAlarmHigh(int sensor) const
{
    return i16(m_page3, 36 + 2 * index(sensor, 6));
}

void ConfigPages::setTemperAlarm(int sensor, std::int16_t low, std::int16_t high)
{
    putI16(m_page3, 24 + 2 * index(sensor, 6), low);
    putI16(m_page3, 36 + 2 * index(sensor, 6), high);
}

} // namespace vardex::sim

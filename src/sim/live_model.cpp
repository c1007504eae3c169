// The firmware's live model: drifting measurements, outputs from the output task
// and the loops, fans that follow their tasks, alarm and loop flags.
#include "sim/firmware.h"

#include "link/bytes.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vardex::sim {

using namespace vardex::bytes;

namespace {

constexpr std::array<double, 4> kScale = {0.5, 0.25, 0.125, 0.0625};
// Nominal values of А1_12В, А2_24В, А3_5В, the two spare channels and the mains.
constexpr std::array<double, 6> kNominal = {12.0, 24.0, 5.0, 0.0, 0.0, 220.0};
constexpr double kFanMaxRpm = 3000.0;
constexpr double kFanTimeConstantMs = 2000.0;
// LogPeriod codes: 10 s, 30 s, 1 min, 2 min, 5 min.
constexpr std::array<std::int64_t, 5> kLogPeriodMs = {10000, 30000, 60000, 120000, 300000};

bool bit(std::uint32_t mask, int k)
{
    return (mask >> k) & 1u;
}

} // namespace

void Firmware::advance(std::int64_t ms)
{
    if (ms <= 0)
        return;
    const std::int64_t period =
        kLogPeriodMs[std::min<std::size_t>(m_config.logPeriod(), kLogPeriodMs.size() - 1)];
    while (ms > 0) {
        // With live logging on, time moves from one logging instant to the next.
        const std::int64_t step = m_liveLogging ? std::min(ms, period - m_sinceLogMs) : ms;
        ms -= step;
        m_uptimeMs += step;
        m_clockRemainderMs += step;
        m_clock = m_clock.addSecs(m_clockRemainderMs / 1000);
        m_clockRemainderMs %= 1000;
        std::normal_distribution<double> gauss(0.0, 1.0);
        for (auto &n : m_noise)
            n = gauss(m_random);
        updateMeasurements();
        updateOutputs();
        updateFans(step);
        updateFlags();
        if (m_liveLogging) {
            m_sinceLogMs += step;
            if (m_sinceLogMs >= period) {
                m_sinceLogMs = 0;
                logSnapshot();
            }
        }
    }
}

void Firmware::setContacts(std::uint8_t mask)
{
    m_live.contacts = mask;
    updateOutputs();
    updateFlags();
}

void Firmware::setTtlInputs(std::uint8_t mask)
{
    m_live.ttlInputs = mask;
    updateOutputs();
    updateFlags();
}

void Firmware::setOnBattery(bool on)
{
    m_onBattery = on;
    updateFlags();
}

void Firmware::setFanStalled(std::uint8_t mask)
{
    m_fanStalled = mask;
    updateFans(0);
    updateFlags();
}

void Firmware::setTemperature(int sensor, std::optional<double> celsius)
{
    if (sensor >= 1 && sensor <= 6)
        m_pinnedTemperature[sensor - 1] = celsius;
    updateMeasurements();
    updateOutputs();
    updateFlags();
}

void Firmware::setAnalog(int channel, std::optional<float> value)
{
    if (channel >= 1 && channel <= 6)
        m_pinnedAnalog[channel - 1] = value;
    updateMeasurements();
    updateOutputs();
    updateFlags();
}

// Temperatures drift slowly around 20..40 C, each sensor with its own period, and
// are quantised to the sensor's resolution (codes above 3 read as 3). Analog
// channels sit near their nominal value with a little noise; the mains wanders
// a few volts. Disabled channels read 0.
void Firmware::updateMeasurements()
{
    const double minutes = static_cast<double>(m_uptimeMs) / 60000.0;
    const std::uint8_t temperEnable = m_config.mask(ConfigPages::TemperEnable);
    for (int i = 0; i < 6; ++i) {
        double celsius =
            30.0 + 8.0 * std::sin(2.0 * std::numbers::pi * minutes / (20.0 + 3 * i) + 0.9 * i);
        if (m_pinnedTemperature[i])
            celsius = *m_pinnedTemperature[i];
        const double scale = kScale[std::min<int>(m_config.resolution(i + 1), 3)];
        const double raw = std::clamp(std::round(celsius / scale), -32768.0, 32767.0);
        m_live.temperatures[i] = bit(temperEnable, i) ? static_cast<std::int16_t>(raw) : 0;
    }
    const std::uint8_t analogEnable = m_config.mask(ConfigPages::AnalogEnable);
    for (int i = 0; i < 6; ++i) {
        double v = kNominal[i] * (1.0 + 0.004 * m_noise[i]) + 0.01 * m_noise[i];
        if (i == 5)
            v += 3.0 * std::sin(2.0 * std::numbers::pi * minutes / 7.0);
        if (m_pinnedAnalog[i])
            v = *m_pinnedAnalog[i];
        m_live.analog[i] = bit(analogEnable, i) ? static_cast<float>(v) : 0.0f;
    }
}

// The raw code the controller compares with analog thresholds and loop levels:
// the inverse of value = A * raw + B (the value itself when A is 0).
int Firmware::analogRaw(int channel) const
{
    const double a = m_config.analogA(channel);
    const double b = m_config.analogB(channel);
    const double v = m_live.analog[channel - 1];
    const double raw = a != 0.0 ? (v - b) / a : v;
    return static_cast<int>(std::clamp(std::round(raw), -1e9, 1e9));
}

bool Firmware::loopTrips(const LoopRecord &r) const
{
    auto inverted = [](std::uint8_t mode, int k) { return bit(mode, k); };
    auto outside = [](int v, int lo, int hi) { return v < lo || v > hi; };
    for (int k = 0; k < 8; ++k) {
        if (bit(r.contactUse, k) && (bit(m_live.contacts, k) != inverted(r.contactMode, k)))
            return true;
        if (bit(r.ttlInputUse, k) && (bit(m_live.ttlInputs, k) != inverted(r.ttlInputMode, k)))
            return true;
    }
    for (int k = 0; k < 6; ++k) {
        if (bit(r.analogUse, k) &&
            outside(analogRaw(k + 1), r.analogLo[k], r.analogHi[k]) != inverted(r.analogMode, k))
            return true;
        if (bit(r.temperUse, k) && outside(m_live.temperatures[k], r.temperLo[k], r.temperHi[k]) !=
                                       inverted(r.temperMode, k))
            return true;
    }
    return false;
}

// Outputs (in loop order) switched on by tripped loops. On firmware above 23 a
// loop whose extended record names outputs drives those instead of its own.
std::uint32_t Firmware::loopOutputs() const
{
    std::uint32_t driven = 0;
    for (int n = 1; n <= kLoops; ++n) {
        const LoopRecord r = loop(n);
        if (!r.usesAnyInput() || !loopTrips(r))
            continue;
        const std::uint32_t mask = hasExtendedLoops() ? u32(m_loopExt[n - 1], 8) & 0x3FFFFFFu : 0u;
        driven |= mask ? mask : (1u << (n - 1));
    }
    return driven;
}

void Firmware::updateOutputs()
{
    const std::uint32_t driven = loopOutputs();
    m_live.ttlOutputs = static_cast<std::uint8_t>((m_task.ttlOutputs | driven) &
                                                  m_config.mask(ConfigPages::TtlOutputEnable));
    m_live.switches =
        static_cast<std::uint8_t>((m_task.switches | (driven >> output::FirstSwitch)) &
                                  m_config.mask(ConfigPages::SwitchEnable));
    m_live.relays = static_cast<std::uint8_t>(((m_task.relays | (driven >> output::FirstRelay)) &
                                               m_config.mask(ConfigPages::RelayEnable)) &
                                              0x3F);
    const std::uint8_t fanEnable = m_config.mask(ConfigPages::FanEnable);
    for (int i = 0; i < 4; ++i) {
        int task = bit(driven, output::FirstFan + i) ? 100 : m_task.fans[i];
        // A running fan never goes below its configured minimum.
        if (task > 0)
            task = std::clamp<int>(task, m_config.fanMin(i + 1), 100);
        m_live.fanTasks[i] = bit(fanEnable, i) ? static_cast<std::uint8_t>(task) : 0;
    }
}

void Firmware::updateFans(std::int64_t ms)
{
    const double follow = 1.0 - std::exp(-static_cast<double>(ms) / kFanTimeConstantMs);
    for (int i = 0; i < 4; ++i) {
        const double target = bit(m_fanStalled, i) ? 0.0 : kFanMaxRpm * m_live.fanTasks[i] / 100.0;
        if (bit(m_fanStalled, i))
            m_fanRpm[i] = 0.0;
        else
            m_fanRpm[i] += (target - m_fanRpm[i]) * follow;
        m_live.fanSpeeds[i] = static_cast<std::uint16_t>(std::lround(m_fanRpm[i]));
    }
}

// Alarm flags are raised at once; the configured debounce is not modelled.
void Firmware::updateFlags()
{
    LiveState &s = m_live;
    s.flags.fill(0);
    const std::uint8_t analogEnable = m_config.mask(ConfigPages::AnalogEnable);
    for (int ch = 1; ch <= 6; ++ch) {
        const int low = m_config.analogAlarmLow(ch);
        const int high = m_config.analogAlarmHigh(ch);
        const int raw = analogRaw(ch);
        if (bit(analogEnable, ch - 1) && high > low && (raw < low || raw > high))
            s.setFlag(flag::AnalogAlarm1 + ch - 1, true);
    }
    s.setFlag(flag::Battery, m_onBattery);
    const std::uint8_t temperEnable = m_config.mask(ConfigPages::TemperEnable);
    for (int k = 1; k <= 6; ++k) {
        const int low = m_config.temperAlarmLow(k);
        const int high = m_config.temperAlarmHigh(k);
        const int t = s.temperatures[k - 1];
        if (bit(temperEnable, k - 1) && high > low && (t < low || t > high))
            s.setFlag(flag::TemperAlarm1 + k - 1, true);
    }
    for (int f = 0; f < 4; ++f)
        s.setFlag(flag::FanFault1 + f, bit(m_fanStalled, f) && s.fanTasks[f] > 0);
    // Loop n runs: it uses an input and its inputs switch its outputs on now. An output
    // switched on by hand raises nothing; the flag tells of the loop, not of the output.
    for (int n = 1; n <= kLoops; ++n) {
        const LoopRecord r = loop(n);
        s.setFlag(flag::LoopRuns1 + n - 1, r.usesAnyInput() && loopTrips(r));
    }
}

EventLog::Record Firmware::snapshotRecord() const
{
    EventLog::Record r{};
    const QDate d = m_clock.date();
    const QTime t = m_clock.time();
    putU8(r, 4, static_cast<std::uint8_t>(d.day()));
    putU8(r, 5, static_cast<std::uint8_t>(d.month()));
    putU8(r, 6, static_cast<std::uint8_t>(d.year() - 2000));
    putU8(r, 7, static_cast<std::uint8_t>(t.hour()));
    putU8(r, 8, static_cast<std::uint8_t>(t.minute()));
    putU8(r, 9, static_cast<std::uint8_t>(t.second()));
    putU8(r, 10, m_live.contacts);
    putU8(r, 11, m_live.ttlInputs);
    for (std::size_t i = 0; i < 6; ++i) {
        putF32(r, 12 + 4 * i, m_live.analog[i]);
        putI16(r, 36 + 2 * i, m_live.temperatures[i]);
    }
    for (std::size_t i = 0; i < 4; ++i) {
        putU16(r, 48 + 2 * i, m_live.fanSpeeds[i]);
        putU8(r, 62 + i, m_live.fanTasks[i]);
    }
    putU8(r, 56, m_live.ttlOutputs);
    putU8(r, 57, m_live.switches);
    putU8(r, 58, m_live.relays);
    putU8(r, 59, m_task.ttlOutputs);
    putU8(r, 60, m_task.switches);
    putU8(r, 61, m_task.relays);
    for (std::size_t i = 0; i < 8; ++i)
        putU8(r, 66 + i, m_live.flags[i]);
    return r;
}

} // namespace vardex::sim

#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace vardex::sim {

// The controller's configuration as it travels: four pages of raw bytes, each
// held exactly as the read reply carries it from payload position 6 on.
//
// Page 0 (16 bytes): 0 FirmwareVersion, 1 BuildVariant (both read only),
//   2 HardwareConfigNumber, 3 Reserved0, 4..11 the enable masks (contacts, TTL
//   inputs, analog, sensors, TTL outputs, switches, relays, fans), 12 LogPeriod,
//   13 LogAlarmPeriod, 14 AnalogLogEnable, 15 DallasLogEnable. The write request
//   carries bytes 2..15 (the version bytes are not sent).
// Page 1 (48 bytes): AnalogA 1..6 then AnalogB 1..6, float32.
// Page 2 (26 bytes): DallasResolution 1..6, FanMin 1..4, FanImpulse 1..4,
//   AnalogAlarmDebounce 1..6, DallasAlarmDebounce 1..6 (one byte each).
// Page 3 (48 bytes): AnalogAlarmLow, AnalogAlarmHigh (raw codes, uint16),
//   TemperAlarmLow, TemperAlarmHigh (raw sensor units, int16), 6 of each.
class ConfigPages {
public:
    static constexpr int kPages = 4;
    static constexpr std::array<std::size_t, kPages> kPageSize = {16, 48, 26, 48};
    static constexpr std::size_t kReadOnlyBytes = 2; // page 0: FirmwareVersion, BuildVariant

    std::span<const std::uint8_t> page(int n) const;
    std::span<std::uint8_t> page(int n);

    // Page write as the request carries it (data from payload position 6). Page 0
    // lands after the read-only version bytes; every page takes its full size
    // whatever the request's Len says.
    void writeFromRequest(int n, std::span<const std::uint8_t> data);

    std::uint8_t firmwareVersion() const { return m_page0[0]; }
    std::uint8_t buildVariant() const { return m_page0[1]; }
    void setVersions(std::uint8_t firmware, std::uint8_t variant);

    enum Mask : std::size_t {
        ContactEnable = 4,
        TtlInputEnable,
        AnalogEnable,
        TemperEnable,
        TtlOutputEnable,
        SwitchEnable,
        RelayEnable,
        FanEnable
    };
    std::uint8_t mask(Mask m) const { return m_page0[m]; }
    void setMask(Mask m, std::uint8_t v) { m_page0[m] = v; }
    std::uint8_t hardwareConfigNumber() const { return m_page0[2]; }
    void setHardwareConfigNumber(std::uint8_t v) { m_page0[2] = v; }
    std::uint8_t logPeriod() const { return m_page0[12]; }
    std::uint8_t logAlarmPeriod() const { return m_page0[13]; }
    void setLogging(std::uint8_t period, std::uint8_t alarmPeriod, std::uint8_t analogMask,
                    std::uint8_t dallasMask);

    // Channels, sensors and fans are numbered from 1.
    float analogA(int ch) const;
    float analogB(int ch) const;
    void setAnalogScale(int ch, float a, float b);
    std::uint8_t resolution(int sensor) const;
    void setResolution(int sensor, std::uint8_t code);
    std::uint8_t fanMin(int fan) const;
    void setFan(int fan, std::uint8_t minPercent, std::uint8_t impulseCode);
    void setDebounce(int ch, std::uint8_t analog, std::uint8_t dallas);
    std::uint16_t analogAlarmLow(int ch) const;
    std::uint16_t analogAlarmHigh(int ch) const;
    void setAnalogAlarm(int ch, std::uint16_t low, std::uint16_t high);
    std::int16_t temperAlarmLow(int sensor) const;
    std::int16_t temperAlarmHigh(int sensor) const;
    void setTemperAlarm(int sensor, std::int16_t low, std::int16_t high);

private:
    std::array<std::uint8_t, 16> m_page0{};
    std::array<std::uint8_t, 48> m_page1{};
    std::array<std::uint8_t, 26> m_page2{};
    std::array<std::uint8_t, 48> m_page3{};
};

} // namespace vardex::sim

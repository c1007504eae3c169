#include "sim/scenarios.h"

#include "link/bytes.h"
#include "link/protocol.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>

namespace vardex::sim {

using namespace vardex::bytes;

namespace {

// Full-scale volts of the 12-bit converter per analog channel (А1_12В, А2_24В,
// А3_5В, the two spare inputs, the mains).
constexpr std::array<float, 6> kFullScale = {15.0f, 30.0f, 6.6f, 3.3f, 3.3f, 300.0f};
constexpr std::array<float, 6> kAlarmLowVolts = {10.8f, 21.6f, 4.5f, 0.0f, 0.0f, 180.0f};
constexpr std::array<float, 6> kAlarmHighVolts = {13.2f, 26.4f, 5.5f, 3.3f, 3.3f, 250.0f};
constexpr std::array<std::uint8_t, 6> kResolution = {3, 3, 2, 2, 1, 0};
constexpr std::array<double, 4> kScale = {0.5, 0.25, 0.125, 0.0625};

float gain(int ch)
{
    return kFullScale[ch - 1] / 4095.0f;
}

std::uint16_t analogCode(int ch, float volts)
{
    return static_cast<std::uint16_t>(std::lround(volts / gain(ch)));
}

std::int16_t tempRaw(int sensor, double celsius)
{
    return static_cast<std::int16_t>(std::lround(celsius / kScale[kResolution[sensor - 1]]));
}

void blackBoxStamp(MutableBytes box, std::size_t at, std::array<std::uint8_t, 6> dayMonthYearHms)
{
    for (std::size_t i = 0; i < 6; ++i)
        putU8(box, at + i, dayMonthYearHms[i]);
}

void fillConfig(ConfigPages &c, std::uint8_t firmware)
{
    c.setVersions(firmware, 3);
    c.setHardwareConfigNumber(1);
    c.setMask(ConfigPages::ContactEnable, 0xFF);
    c.setMask(ConfigPages::TtlInputEnable, 0xFF);
    c.setMask(ConfigPages::AnalogEnable, 0x3F);
    c.setMask(ConfigPages::TemperEnable, 0x3F);
    c.setMask(ConfigPages::TtlOutputEnable, 0xFF);
    c.setMask(ConfigPages::SwitchEnable, 0xFF);
    c.setMask(ConfigPages::RelayEnable, 0x3F);
    c.setMask(ConfigPages::FanEnable, 0x0F);
    c.setLogging(2, 0, 0x3F, 0x3F); // 1 min, 10 s during an alarm
    for (int ch = 1; ch <= 6; ++ch) {
        c.setAnalogScale(ch, gain(ch), 0.0f);
        c.setAnalogAlarm(ch, analogCode(ch, kAlarmLowVolts[ch - 1]),
                         analogCode(ch, kAlarmHighVolts[ch - 1]));
        c.setResolution(ch, kResolution[ch - 1]);
        c.setTemperAlarm(ch, tempRaw(ch, 5.0), tempRaw(ch, 50.0));
        c.setDebounce(ch, 5, 3);
    }
    for (int f = 1; f <= 4; ++f)
        c.setFan(f, 20, 1);
}

void fillLoops(Firmware &fw)
{
    // Loop 1 (TTL output 1): the door contact 1.
    LoopRecord door;
    door.contactUse = 0x01;
    fw.setLoop(1, door);
    // Loop 9 (high-side switch 1): the 12 V rail outside 11..13 V.
    LoopRecord rail;
    rail.analogUse = 0x01;
    rail.hostControl = 1;
    rail.analogLo[0] = static_cast<std::int16_t>(analogCode(1, 11.0f));
    rail.analogHi[0] = static_cast<std::int16_t>(analogCode(1, 13.0f));
    fw.setLoop(9, rail);
    // Loop 17 (relay 1): sensor 1 above 35 C.
    LoopRecord heat;
    heat.temperUse = 0x01;
    heat.temperLo[0] = tempRaw(1, -55.0);
    heat.temperHi[0] = tempRaw(1, 35.0);
    fw.setLoop(17, heat);
    // Loop 18 (relay 2): TTL input 2, inverted.
    LoopRecord ttl;
    ttl.ttlInputUse = 0x02;
    ttl.ttlInputMode = 0x02;
    ttl.contactMode = 0x81;
    fw.setLoop(18, ttl);
    // Loop 23 (fan 1): sensor 2 above 32 C.
    LoopRecord fan;
    fan.temperUse = 0x02;
    fan.temperLo[1] = tempRaw(2, -55.0);
    fan.temperHi[1] = tempRaw(2, 32.0);
    fw.setLoop(23, fan);
}

void fillLoopExts(Firmware &fw)
{
    // Loop 18 drives relays 2 and 3 with a 5 s off / 10 s on pulse train of 3.
    std::array<std::uint8_t, 12> ext{};
    putU16(ext, 0, 50);
    putU16(ext, 2, 100);
    putU8(ext, 4, 3);
    putU32(ext, 8, (1u << 17) | (1u << 18));
    fw.setLoopExt(18, ext);
    std::array<std::uint8_t, 12> dim{};
    putU8(dim, 7, 60);
    fw.setLoopExt(23, dim);
}

void fillBlackBox(Firmware &fw)
{
    auto box = fw.memory().bytes().subspan(Memory::kBlackBox, 58);
    putU16(box, 0, 3);
    blackBoxStamp(box, 2, {3, 5, 11, 14, 7, 9});
    putU16(box, 8, 12);
    blackBoxStamp(box, 10, {21, 2, 12, 9, 30, 0});
    putU16(box, 16, 7);
    blackBoxStamp(box, 18, {22, 2, 12, 10, 2, 41});
    putU32(box, 24, 152);
    putU32(box, 28, 9);
    putU32(box, 32, 8);
    putU32(box, 36, 7);
    putU32(box, 40, 1234);
    blackBoxStamp(box, 44, {1, 3, 12, 3, 15, 0});
}

Firmware fullController(std::uint8_t firmware)
{
    Firmware fw;
    fillConfig(fw.config(), firmware);
    fillLoops(fw);
    if (firmware > 23)
        fillLoopExts(fw);
    fillBlackBox(fw);
    fw.setIdentity({24, 3, 11, 2, 17, 0, 4, 2, 1, 9});
    fw.setOpenKey({0x5A, 0x17, 0xC3, 0x08});
    fw.setContacts(0x00);
    fw.setTtlInputs(0x02); // loop 18 idle: its input is inverted
    fw.advance(60000);     // fans and readings settle
    // After settling, which moves the clock along: the documented time is the start.
    fw.setClock(QDateTime(QDate(2012, 3, 5), QTime(14, 7, 9), Qt::UTC));
    return fw;
}

// One record every `stepMs`; the door (contact 1) is open for the first 3 of every 50.
void writeLog(Firmware &fw, int count, std::int64_t stepMs)
{
    for (int i = 0; i < count; ++i) {
        const std::uint8_t door = i % 50 < 3 ? 0x01 : 0x00;
        if (door != fw.liveState().contacts)
            fw.setContacts(door);
        fw.advance(stepMs);
        fw.logSnapshot();
    }
    fw.setContacts(0x00);
}

// Inside [from, to) of day `day` (0-based) of the log, in minutes of the day.
struct Window {
    int day;
    int from;
    int to;
    bool contains(int d, int minute) const { return d == day && minute >= from && minute < to; }
};

constexpr Window kMainsFailure = {5, 2 * 60 + 10, 4 * 60 + 40};
constexpr std::array<Window, 4> kDoorOpen = {{{2, 10 * 60, 10 * 60 + 25},
                                              {6, 9 * 60 + 40, 11 * 60 + 5},
                                              {9, 14 * 60 + 30, 15 * 60 + 5},
                                              {12, 16 * 60, 16 * 60 + 20}}};

void writeDemoLog(Firmware &fw, const QDate &start, int days)
{
    constexpr std::int64_t kStepMs = 5 * 60 * 1000;
    constexpr std::array<double, 6> kSensorOffset = {0.0, 2.5, -1.5, 4.0, 1.0, -3.0};
    fw.setClock(QDateTime(start, QTime(0, 0), Qt::UTC));
    const int records = days * 24 * 12;
    for (int i = 0; i < records; ++i) {
        const QDateTime now = fw.clock();
        const int day = static_cast<int>(start.daysTo(now.date()));
        const int minute = now.time().hour() * 60 + now.time().minute();
        // Warmest at 15:00, coolest at 03:00; a sunny spell in the second week.
        const double daily = std::sin(2.0 * std::numbers::pi * (minute / 60.0 - 9.0) / 24.0);
        const double cabinet = 24.0 + (day >= 7 ? 9.0 : 6.0) * daily + 0.3 * std::sin(i * 0.7);
        for (int k = 1; k <= 6; ++k)
            fw.setTemperature(k, cabinet + kSensorOffset[k - 1]);

        const bool mainsDown = kMainsFailure.contains(day, minute);
        fw.setOnBattery(mainsDown);
        fw.setAnalog(6, mainsDown ? std::optional<float>(0.0f) : std::nullopt);
        bool door = false;
        for (const Window &w : kDoorOpen)
            door = door || w.contains(day, minute);
        fw.setContacts(door ? 0x01 : 0x00);

        // Fans 1 and 2 cool the cabinet above 26 C; they stop while on battery.
        std::array<std::uint8_t, 4> fans{};
        const int task =
            mainsDown ? 0 : std::clamp(static_cast<int>((cabinet - 26.0) * 12.0), 0, 100);
        fans[0] = static_cast<std::uint8_t>(task);
        fans[1] = static_cast<std::uint8_t>(task / 2);
        fw.handle(link::protocol::writeOutputTask(0, 0, 0, fans));

        fw.advance(kStepMs);
        fw.logSnapshot();
    }
    for (int k = 1; k <= 6; ++k)
        fw.setTemperature(k, std::nullopt);
    fw.setAnalog(6, std::nullopt);
    fw.setOnBattery(false);
    fw.setContacts(0x00);
    fw.handle(link::protocol::writeOutputTask(0, 0, 0, {}));
}

} // namespace

Firmware fullControllerFirmware24()
{
    return fullController(24);
}

Firmware fullControllerFirmware23()
{
    return fullController(23);
}

Firmware emptyController(std::uint8_t firmwareVersion, std::uint8_t buildVariant)
{
    Firmware fw;
    fw.config().setVersions(firmwareVersion, buildVariant);
    return fw;
}

Firmware controllerWithLog(int count)
{
    Firmware fw = fullController(24);
    fw.setClock(QDateTime(QDate(2011, 12, 29), QTime(8, 0), Qt::UTC));
    writeLog(fw, count, 30 * 60 * 1000);
    return fw;
}

Firmware controllerWithFullLog(int beyond)
{
    Firmware fw = fullController(24);
    fw.setClock(QDateTime(QDate(2011, 11, 20), QTime(0, 0), Qt::UTC));
    writeLog(fw, static_cast<int>(EventLog::kSlots) + beyond, 60 * 1000);
    return fw;
}

Firmware demoController(const QDate &today)
{
    Firmware fw = fullController(24);
    QDate start = today.addDays(-14);
    if (start.year() != today.year())
        start = QDate(today.year(), 1, 1);
    writeDemoLog(fw, start, static_cast<int>(std::max<qint64>(1, start.daysTo(today))));
    fw.setClock(QDateTime(today, QTime::currentTime(), Qt::UTC));
    return fw;
}

} // namespace vardex::sim

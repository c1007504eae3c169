#include "link/bytes.h"
#include "link/protocol.h"
#include "sim/firmware.h"
#include "sim/scenarios.h"

#include <QCryptographicHash>

#include <gtest/gtest.h>

using namespace vardex;
using link::Payload;
using sim::Firmware;

namespace {

Payload request(std::uint8_t code, std::uint8_t sub = 0, std::uint8_t arg1 = 0,
                std::uint8_t arg2 = 0, std::uint8_t len = 0)
{
    Payload p{};
    p[0] = code;
    p[1] = sub;
    p[2] = arg1;
    p[3] = arg2;
    p[5] = len;
    return p;
}

Payload only(const std::vector<Payload> &replies)
{
    EXPECT_EQ(replies.size(), 1u);
    return replies.empty() ? Payload{} : replies.front();
}

bool isError(const Payload &p)
{
    return p[0] == 0xFF && p[1] == 'E' && p[2] == 'R' && p[3] == 'R';
}

Payload memoryRead(std::size_t address, std::uint8_t count)
{
    return request(32, address & 0xFF, static_cast<std::uint8_t>(address >> 8), 0, count);
}

} // namespace

// ---- configuration pages ----------------------------------------------------------------

TEST(FirmwareConfig, PageZeroWriteNeverChangesTheVersionBytes)
{
    Firmware fw = sim::emptyController(24, 7);
    Payload rq = request(9, 0, 0, 0, 10);
    for (std::size_t i = 0; i < 14; ++i)
        rq[6 + i] = static_cast<std::uint8_t>(0xA0 + i);
    EXPECT_EQ(only(fw.handle(rq))[0], 9);

    const Payload page = only(fw.handle(request(1, 0)));
    EXPECT_EQ(page[6], 24);
    EXPECT_EQ(page[7], 7);
    for (std::size_t i = 0; i < 14; ++i)
        EXPECT_EQ(page[8 + i], 0xA0 + i) << "request byte " << 6 + i;
}

TEST(FirmwareConfig, PageTwoTakesAllItsBytesDespiteLen14)
{
    Firmware fw = sim::emptyController();
    Payload rq = request(9, 2, 0, 0, 14);
    for (std::size_t i = 0; i < 26; ++i)
        rq[6 + i] = static_cast<std::uint8_t>(i + 1);
    fw.handle(rq);
    const Payload page = only(fw.handle(request(1, 2)));
    EXPECT_EQ(page[5], 26);
    EXPECT_EQ(page[31], 26); // last DallasAlarmDebounce
    EXPECT_EQ(page[32], 0);  // nothing past the page
}

TEST(FirmwareConfig, ThresholdsTravelAsSixteenBits)
{
    Firmware fw = sim::emptyController();
    Payload rq = request(9, 3, 0, 0, 48);
    bytes::putU16(std::span(rq), 30, 0xFF60); // TemperAlarmLow 1 = -160
    fw.handle(rq);
    EXPECT_EQ(fw.config().temperAlarmLow(1), -160);
    const Payload page = only(fw.handle(request(1, 3)));
    EXPECT_EQ(bytes::u16(page, 30), 0xFF60);
}

TEST(FirmwareConfig, UnknownPageIsAnErrorReply)
{
    Firmware fw;
    EXPECT_TRUE(isError(only(fw.handle(request(1, 4)))));
    EXPECT_TRUE(isError(only(fw.handle(request(9, 4)))));
}

TEST(FirmwareConfig, PageThreeWriteCountsInTheBlackBox)
{
    Firmware fw = sim::fullControllerFirmware24();
    const auto before = bytes::u16(fw.memory().bytes(), 7168 + 8);
    fw.handle(request(9, 1, 0, 0, 48));
    fw.handle(request(9, 3, 0, 0, 48));
    const Payload box = only(fw.handle(memoryRead(7168, 58)));
    EXPECT_EQ(bytes::u16(box, 6 + 8), before + 1);
    EXPECT_EQ(box[6 + 10], 5); // day of the scenario clock, 2012-03-05
    EXPECT_EQ(box[6 + 12], 12);
}

// ---- loops ------------------------------------------------------------------------------

TEST(FirmwareLoops, MainRecordWriteLandsInStoredLayout)
{
    Firmware fw = sim::emptyController();
    Payload rq = request(7, 26, 0, 0, 56);
    rq[6] = 0x11;                             // ContactUse
    rq[8] = 0xC5;                             // AnalogUse 5, HostControl 3
    bytes::putI16(std::span(rq), 10, -300);   // AnalogLevelLo 1
    bytes::putI16(std::span(rq), 46, 0x1234); // TemperLevelHi 1
    rq[58] = 0x81;                            // ContactMode
    rq[61] = 0x3F;                            // TemperMode
    EXPECT_EQ(only(fw.handle(rq))[0], 7);

    const auto mem = fw.memory().bytes().subspan(5696, 56);
    EXPECT_EQ(mem[0], 0x11);
    EXPECT_EQ(mem[2], 0xC5);
    EXPECT_EQ(mem[4], 0x81);
    EXPECT_EQ(mem[7], 0x3F);
    EXPECT_EQ(bytes::i16(mem, 8), -300);
    EXPECT_EQ(bytes::u16(mem, 44), 0x1234);
    EXPECT_EQ(fw.memory().bytes()[5696 + 56], 0); // the slot gap stays untouched

    // The read-back through memory returns exactly what was written.
    const Payload stored = only(fw.handle(memoryRead(4096 + 64 * 25, 56)));
    EXPECT_EQ(stored[5], 56);
    const Payload back = only(fw.handle(request(6, 26, 0)));
    EXPECT_TRUE(std::equal(back.begin() + 6, back.begin() + 62, rq.begin() + 6));
}

TEST(FirmwareLoops, LoopOneIsStoredAt4096)
{
    Firmware fw = sim::emptyController();
    Payload rq = request(7, 1, 0, 0, 56);
    rq[7] = 0x42;
    fw.handle(rq);
    EXPECT_EQ(fw.memory().bytes()[4097], 0x42);
}

TEST(FirmwareLoops, CorruptedStoredCopyDiffersOnlyInHostControl)
{
    Firmware fw = sim::fullControllerFirmware24();
    const sim::LoopRecord good = fw.loop(9);
    fw.corruptStoredLoop(9);
    sim::LoopRecord bad = fw.loop(9);
    EXPECT_NE(bad.hostControl, good.hostControl);
    bad.hostControl = good.hostControl;
    EXPECT_EQ(bad, good);
}

TEST(FirmwareLoops, ExtendedRecordsOnlyAboveFirmware23)
{
    Firmware fw24 = sim::fullControllerFirmware24();
    const Payload ext = only(fw24.handle(request(6, 18, 1)));
    EXPECT_EQ(ext[5], 12);
    EXPECT_EQ(bytes::u16(ext, 6), 50);
    EXPECT_EQ(bytes::u32(ext, 14), (1u << 17) | (1u << 18));

    Firmware fw23 = sim::fullControllerFirmware23();
    const Payload none = only(fw23.handle(request(6, 18, 1)));
    EXPECT_FALSE(isError(none));
    EXPECT_EQ(none[5], 0);
    for (std::size_t i = 6; i < none.size(); ++i)
        EXPECT_EQ(none[i], 0) << i;
    Payload write = request(7, 18, 1, 0, 12);
    write[6] = 0x77;
    EXPECT_FALSE(isError(only(fw23.handle(write))));
    EXPECT_EQ(only(fw23.handle(request(6, 18, 1)))[6], 0);
    EXPECT_FALSE(isError(only(fw23.handle(request(6, 18, 0)))));
}

TEST(FirmwareLoops, LoopNumberAndKindOutOfRangeAreRefused)
{
    Firmware fw;
    EXPECT_TRUE(isError(only(fw.handle(request(6, 0, 0)))));
    EXPECT_TRUE(isError(only(fw.handle(request(6, 27, 0)))));
    EXPECT_TRUE(isError(only(fw.handle(request(6, 1, 2)))));
    EXPECT_TRUE(isError(only(fw.handle(request(7, 27, 0, 0, 56)))));
}

// ---- memory -----------------------------------------------------------------------------

TEST(FirmwareMemory, AddressAboveTopReadsTheLastByte)
{
    Firmware fw;
    fw.memory().bytes()[8191] = 0x5C;
    const Payload p = only(fw.handle(memoryRead(9000, 4)));
    EXPECT_EQ(p[5], 1);
    EXPECT_EQ(p[6], 0x5C);
    EXPECT_EQ(p[7], 0);
}

TEST(FirmwareMemory, CountIsLimitedToTheDataArea)
{
    Firmware fw;
    fw.memory().bytes()[58] = 0x77;
    const Payload p = only(fw.handle(memoryRead(1, 200)));
    EXPECT_EQ(p[5], 58);
    EXPECT_EQ(p[63], 0x77);
}

TEST(FirmwareMemory, WriteCountMustBe1To58)
{
    Firmware fw;
    EXPECT_TRUE(isError(only(fw.handle(request(33, 0, 0, 0, 0)))));
    EXPECT_TRUE(isError(only(fw.handle(request(33, 0, 0, 0, 59)))));
    Payload rq = request(33, 0x10, 0x20, 0, 2); // address 0x2010 = 8208 -> 8191
    rq[6] = 0xAB;
    rq[7] = 0xCD;
    EXPECT_EQ(only(fw.handle(rq))[0], 33);
    EXPECT_EQ(fw.memory().bytes()[8191], 0xAB); // cut at the top
}

// ---- event log --------------------------------------------------------------------------

TEST(FirmwareLog, PointersOfAPartialLog)
{
    Firmware fw = sim::controllerWithLog(300);
    const Payload p = only(fw.handle(memoryRead(6912, 4)));
    EXPECT_EQ(bytes::u16(p, 6), 75);
    EXPECT_EQ(bytes::u16(p, 8), 0);
}

TEST(FirmwareLog, FullRingHasAFirstPointerBelowTheSecond)
{
    Firmware fw = sim::controllerWithFullLog();
    const Payload p = only(fw.handle(memoryRead(6912, 4)));
    const int a = bytes::u16(p, 6);
    const int b = bytes::u16(p, 8);
    EXPECT_LT(a, b);
    EXPECT_LE(b, 4095);
    // The newest record sits in the last slot; the first slot holds record 1.
    const auto last = fw.handle(request(11, 0, 0x00, 0x40));
    ASSERT_EQ(last.size(), 2u);
    EXPECT_EQ(bytes::u32(last[0], 6), 16384u);
}

TEST(FirmwareLog, WrappedRingOverwritesTheOldestSlots)
{
    Firmware fw = sim::controllerWithFullLog(10);
    const auto first = fw.handle(request(11, 0, 1, 0));
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(bytes::u32(first[0], 6), 16385u);
    EXPECT_LT(fw.eventLog().pointerA(), fw.eventLog().pointerB());
}

TEST(FirmwareLog, RecordComesAsTwoHalvesOf50And24Bytes)
{
    Firmware fw = sim::controllerWithLog(360);
    const auto halves = fw.handle(request(11, 0, 104, 1)); // record 360
    ASSERT_EQ(halves.size(), 2u);
    EXPECT_EQ(halves[0][0], 11);
    EXPECT_EQ(halves[0][1], 0);
    EXPECT_EQ(halves[0][5], 50);
    EXPECT_EQ(halves[1][0], 11);
    EXPECT_EQ(halves[1][1], 1);
    EXPECT_EQ(halves[1][5], 24);
    std::array<std::uint8_t, 74> record{};
    std::copy_n(halves[0].begin() + 6, 50, record.begin());
    std::copy_n(halves[1].begin() + 6, 24, record.begin() + 50);
    EXPECT_EQ(bytes::u32(record, 0), 360u);
    // 359 half-hours after 2011-12-29 08:30 is 2012-01-05 20:00.
    EXPECT_EQ(record[4], 5);
    EXPECT_EQ(record[5], 1);
    EXPECT_EQ(record[6], 12);
    EXPECT_EQ(record[7], 20);
    EXPECT_EQ(record[8], 0);
    EXPECT_NEAR(bytes::f32(record, 12), 12.0f, 0.5f);
    EXPECT_NEAR(bytes::f32(record, 32), 220.0f, 10.0f);
}

TEST(FirmwareLog, LogSpansTheTurnOfTheYear)
{
    Firmware fw = sim::controllerWithLog(360);
    EXPECT_EQ(fw.eventLog().record(1)->at(6), 11);
    EXPECT_EQ(fw.eventLog().record(360)->at(6), 12);
}

TEST(FirmwareLog, UnwrittenSlotReadsErasedAndIndexZeroIsRefused)
{
    Firmware fw = sim::controllerWithLog(8);
    const auto erased = fw.handle(request(11, 0, 9, 0));
    ASSERT_EQ(erased.size(), 2u);
    EXPECT_EQ(erased[0][6], 0xFF);
    EXPECT_TRUE(isError(only(fw.handle(request(11, 0, 0, 0)))));
    EXPECT_TRUE(isError(only(fw.handle(request(11, 0, 0x01, 0x40)))));
}

TEST(FirmwareLog, EmptyLogHasEqualPointers)
{
    Firmware fw = sim::emptyController();
    const Payload p = only(fw.handle(memoryRead(6912, 4)));
    EXPECT_EQ(bytes::u16(p, 6), bytes::u16(p, 8));
}

TEST(FirmwareLog, LiveLoggingWritesAtTheConfiguredPeriod)
{
    Firmware fw = sim::fullControllerFirmware24(); // LogPeriod code 2: one minute
    const auto before = fw.eventLog().written();
    fw.setLiveLogging(true);
    fw.advance(5 * 60 * 1000 + 500);
    EXPECT_EQ(fw.eventLog().written() - before, 5u);
}

// ---- clock ------------------------------------------------------------------------------

TEST(FirmwareClock, WriteClockSetsWhatReadClockReturns)
{
    Firmware fw;
    Payload rq = request(5, 0, 0, 0, 6);
    const std::array<std::uint8_t, 6> when = {26, 3, 5, 14, 7, 9};
    std::copy(when.begin(), when.end(), rq.begin() + 6);
    EXPECT_TRUE(fw.handle(rq).empty());
    const Payload p = only(fw.handle(request(4)));
    EXPECT_EQ(p[5], 6);
    EXPECT_TRUE(std::equal(when.begin(), when.end(), p.begin() + 6));
}

TEST(FirmwareClock, ImpossibleDateIsIgnored)
{
    Firmware fw = sim::fullControllerFirmware24();
    const QDateTime before = fw.clock();
    Payload rq = request(5, 0, 0, 0, 6);
    const std::array<std::uint8_t, 6> when = {12, 2, 30, 10, 0, 0};
    std::copy(when.begin(), when.end(), rq.begin() + 6);
    fw.handle(rq);
    EXPECT_EQ(fw.clock(), before);
}

TEST(FirmwareClock, TicksWithSimulatedTimeAcrossMidnight)
{
    Firmware fw;
    fw.setClock(QDateTime(QDate(2011, 12, 31), QTime(23, 59, 59), Qt::UTC));
    fw.advance(600);
    fw.advance(600);
    const Payload p = only(fw.handle(request(4)));
    EXPECT_EQ(p[6], 12);
    EXPECT_EQ(p[7], 1);
    EXPECT_EQ(p[8], 1);
    EXPECT_EQ(p[11], 0);
}

// ---- live state -------------------------------------------------------------------------

TEST(FirmwareState, OutputTaskShowsInTheStateReply)
{
    Firmware fw = sim::fullControllerFirmware24();
    Payload rq = request(3, 0, 0, 0, 8);
    const std::array<std::uint8_t, 7> task = {0x00, 0x12, 0x05, 100, 50, 0, 0};
    std::copy(task.begin(), task.end(), rq.begin() + 6);
    EXPECT_EQ(only(fw.handle(rq))[0], 3);
    fw.advance(20000);
    const Payload s = only(fw.handle(request(2, 0)));
    EXPECT_EQ(s[52], 0x00);
    EXPECT_EQ(s[53], 0x12);
    EXPECT_EQ(s[54] & 0x05, 0x05);
    EXPECT_EQ(s[55], 100);
    EXPECT_EQ(s[56], 50);
    EXPECT_NEAR(bytes::u16(s, 44), 3000, 30);
    EXPECT_NEAR(bytes::u16(s, 46), 1500, 15);
    EXPECT_EQ(bytes::u16(s, 48), 0);
    // Relay 1 is output 17: flag 32 + 17 = 49, bit 0 of flag byte 7 (sub-code 1). It
    // tells of loop 17, which does not run: switched by hand, the relay raises nothing.
    const Payload flags = only(fw.handle(request(2, 1)));
    EXPECT_EQ(flags[5], 4);
    EXPECT_FALSE(flags[6 + 2] & 0x01);
}

TEST(FirmwareState, DisabledOutputsStayOff)
{
    Firmware fw = sim::emptyController();
    Payload rq = request(3, 0, 0, 0, 8);
    rq[6] = 0xFF;
    rq[9] = 80;
    fw.handle(rq);
    fw.advance(10000);
    const Payload s = only(fw.handle(request(2, 0)));
    EXPECT_EQ(s[52], 0);
    EXPECT_EQ(s[55], 0);
    EXPECT_EQ(bytes::u16(s, 44), 0);
}

TEST(FirmwareState, TemperatureIsQuantisedToTheSensorResolution)
{
    Firmware fw = sim::fullControllerFirmware24(); // sensor 1 code 3, sensor 6 code 0
    fw.setTemperature(1, 36.3);
    fw.setTemperature(6, 36.3);
    const Payload s = only(fw.handle(request(2, 0)));
    EXPECT_EQ(bytes::i16(s, 32), 581); // 36.3 / 0.0625
    EXPECT_EQ(bytes::i16(s, 42), 73);  // 36.3 / 0.5
}

TEST(FirmwareState, DriftStaysPlausible)
{
    Firmware fw = sim::fullControllerFirmware24();
    for (int i = 0; i < 100; ++i) {
        fw.advance(37000);
        const auto &live = fw.liveState();
        EXPECT_NEAR(live.temperatures[0] * 0.0625, 30.0, 10.0);
        EXPECT_NEAR(live.analog[0], 12.0f, 0.5f);
        EXPECT_NEAR(live.analog[1], 24.0f, 1.0f);
        EXPECT_NEAR(live.analog[2], 5.0f, 0.3f);
        EXPECT_NEAR(live.analog[5], 220.0f, 8.0f);
    }
}

TEST(FirmwareState, AlarmFlagsFollowTheThresholds)
{
    Firmware fw = sim::fullControllerFirmware24();
    fw.setTemperature(3, 20.0);
    fw.setAnalog(1, 12.0f);
    EXPECT_FALSE(fw.liveState().flag(sim::flag::TemperAlarm1 + 2));
    EXPECT_FALSE(fw.liveState().flag(sim::flag::AnalogAlarm1));
    fw.setTemperature(3, 51.0);
    fw.setAnalog(1, 9.5f);
    EXPECT_TRUE(fw.liveState().flag(sim::flag::TemperAlarm1 + 2));
    EXPECT_TRUE(fw.liveState().flag(sim::flag::AnalogAlarm1));
    fw.setOnBattery(true);
    EXPECT_TRUE(fw.liveState().flag(sim::flag::Battery));
}

TEST(FirmwareState, TrippedLoopDrivesItsOutputAndFlag)
{
    Firmware fw = sim::fullControllerFirmware24();
    EXPECT_FALSE(fw.liveState().ttlOutputs & 0x01);
    fw.setContacts(0x01); // loop 1 uses contact 1
    EXPECT_TRUE(fw.liveState().ttlOutputs & 0x01);
    EXPECT_TRUE(fw.liveState().flag(sim::flag::LoopRuns1));
    // Loop 18 (inverted TTL input 2) drives relays 2 and 3 through its extended record.
    fw.setTtlInputs(0x00);
    EXPECT_EQ(fw.liveState().relays & 0x06, 0x06);
    EXPECT_TRUE(fw.liveState().flag(sim::flag::LoopRuns1 + 17));
    // The flag tells of the loop, not of its output: relay 3 is on (by loop 18), loop 19
    // is not running.
    EXPECT_FALSE(fw.liveState().flag(sim::flag::LoopRuns1 + 18));
    // Contact 1 open again: loop 1 lets go, though TTL output 1 is switched on by hand.
    fw.handle(link::protocol::writeOutputTask(0x01, 0, 0, {}));
    fw.setContacts(0x00);
    EXPECT_TRUE(fw.liveState().ttlOutputs & 0x01);
    EXPECT_FALSE(fw.liveState().flag(sim::flag::LoopRuns1));
}

TEST(FirmwareState, StalledFanRaisesItsFlag)
{
    Firmware fw = sim::fullControllerFirmware24();
    Payload rq = request(3, 0, 0, 0, 8);
    rq[11] = 60; // fan 3
    fw.handle(rq);
    fw.setFanStalled(0x04);
    fw.advance(5000);
    EXPECT_EQ(fw.liveState().fanSpeeds[2], 0);
    EXPECT_TRUE(fw.liveState().flag(sim::flag::FanFault1 + 2));
}

// ---- identity, serial line, signed commands, unknown codes ------------------------------

TEST(FirmwareIdentity, TenFourByteGroups)
{
    Firmware fw = sim::fullControllerFirmware24();
    const Payload p = only(fw.handle(request(34, 33)));
    EXPECT_EQ(p[1], 33);
    const std::array<int, 10> expected = {24, 3, 11, 2, 17, 0, 4, 2, 1, 9};
    for (std::size_t i = 0; i < 10; ++i)
        EXPECT_EQ(p[6 + 4 * i], expected[i]);
    EXPECT_TRUE(isError(only(fw.handle(request(34, 0)))));
}

TEST(FirmwareSerial, ReadReturnsTheLastByteSent)
{
    Firmware fw;
    EXPECT_EQ(only(fw.handle(request(13)))[6], 0);
    Payload rq = request(12, 0, 0, 0, 3);
    rq[6] = 0x1B;
    rq[7] = 0x40;
    rq[8] = 0x0C;
    rq[9] = 0x99; // past Len: not sent
    EXPECT_EQ(only(fw.handle(rq))[0], 12);
    EXPECT_EQ(only(fw.handle(request(13)))[6], 0x0C);
    EXPECT_EQ(fw.serialBytes().size(), 3u);
}

namespace {
std::array<std::uint8_t, 20> sha1Of(const std::array<std::uint8_t, 20> &message)
{
    const QByteArray d =
        QCryptographicHash::hash(QByteArrayView(reinterpret_cast<const char *>(message.data()), 20),
                                 QCryptographicHash::Sha1);
    std::array<std::uint8_t, 20> out{};
    std::copy_n(d.constData(), 20, out.begin());
    return out;
}

Payload sendHash(const std::array<std::uint8_t, 20> &digest)
{
    Payload rq = request(15, 0, 0, 0, 20);
    std::copy(digest.begin(), digest.end(), rq.begin() + 6);
    return rq;
}
} // namespace

TEST(FirmwareSigned, DigestOfOpenAndGeneratedKeyIsAccepted)
{
    Firmware fw = sim::fullControllerFirmware24();
    const Payload key = only(fw.handle(request(15, 1)));
    EXPECT_EQ(key[5], 16);
    const Payload open = only(fw.handle(request(15, 3)));
    std::array<std::uint8_t, 20> message{};
    std::copy_n(open.begin() + 6, 4, message.begin());
    std::copy_n(key.begin() + 6, 16, message.begin() + 4);

    const Payload reply = only(fw.handle(sendHash(sha1Of(message))));
    EXPECT_EQ(fw.acceptedSignedCommands(), 1);
    EXPECT_TRUE(std::any_of(reply.begin() + 6, reply.begin() + 26, [](auto b) { return b; }));

    message[0] ^= 1;
    const Payload refused = only(fw.handle(sendHash(sha1Of(message))));
    EXPECT_EQ(fw.rejectedSignedCommands(), 1);
    EXPECT_TRUE(std::all_of(refused.begin() + 6, refused.begin() + 26, [](auto b) { return !b; }));
}

TEST(FirmwareSigned, TimePrefixWithinTenSecondsIsAccepted)
{
    Firmware fw = sim::fullControllerFirmware24(); // clock 14:08:09 after settling
    const Payload key = only(fw.handle(request(15, 1)));
    const QTime now = fw.clock().time();
    std::array<std::uint8_t, 20> message{};
    std::copy_n(key.begin() + 6, 16, message.begin() + 4);
    const QTime t = QTime(now.hour(), now.minute(), now.second() / 10 * 10).addSecs(10);
    message[1] = static_cast<std::uint8_t>(t.hour());
    message[2] = static_cast<std::uint8_t>(t.minute());
    message[3] = static_cast<std::uint8_t>(t.second());
    fw.handle(sendHash(sha1Of(message)));
    EXPECT_EQ(fw.acceptedSignedCommands(), 1);
    const QTime far = t.addSecs(20);
    message[1] = static_cast<std::uint8_t>(far.hour());
    message[2] = static_cast<std::uint8_t>(far.minute());
    message[3] = static_cast<std::uint8_t>(far.second());
    fw.handle(sendHash(sha1Of(message)));
    EXPECT_EQ(fw.rejectedSignedCommands(), 1);
}

TEST(FirmwareSigned, ResetSpendsTheKey)
{
    Firmware fw = sim::fullControllerFirmware24();
    const Payload key = only(fw.handle(request(15, 1)));
    const Payload open = only(fw.handle(request(15, 3)));
    std::array<std::uint8_t, 20> message{};
    std::copy_n(open.begin() + 6, 4, message.begin());
    std::copy_n(key.begin() + 6, 16, message.begin() + 4);
    EXPECT_EQ(only(fw.handle(request(15, 2)))[0], 15);
    fw.handle(sendHash(sha1Of(message)));
    EXPECT_EQ(fw.acceptedSignedCommands(), 0);
    // Never-generated key: all-zero message is not a valid command either.
    fw.handle(sendHash(sha1Of({})));
    EXPECT_EQ(fw.acceptedSignedCommands(), 0);
}

TEST(FirmwareProtocol, UnknownCodeIsAnErrorReply)
{
    Firmware fw;
    EXPECT_TRUE(isError(only(fw.handle(request(8)))));
    EXPECT_TRUE(isError(only(fw.handle(request(2, 7)))));
    EXPECT_TRUE(isError(only(fw.handle(request(15, 4)))));
}

// ---- the ready-made controller the demo and the README walk through ------------------------

TEST(Scenarios, FullControllerStartsAtItsDocumentedClock)
{
    const Firmware fw = sim::fullControllerFirmware24();
    EXPECT_EQ(fw.clock(), QDateTime(QDate(2012, 3, 5), QTime(14, 7, 9), Qt::UTC));
}

TEST(Scenarios, AManualFanTaskShowsOnFan2WhileLoop23HoldsFan1AtFullSpeed)
{
    Firmware fw = sim::fullControllerFirmware24();
    Payload task = request(3, 0, 0, 0, 8);
    task[9] = 60;  // fan 1
    task[10] = 60; // fan 2
    fw.handle(task);
    const Payload state = only(fw.handle(request(2, 0)));
    EXPECT_EQ(state[55], 100); // fan 1: its loop overrides the task
    EXPECT_EQ(state[56], 60);  // fan 2: no loop drives it
}

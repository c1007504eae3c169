// Every request kind through the data module, the real reply table and the
// simulated controller on its own thread: what is sent arrives, what comes back
// lands where the pages read it.
#include "link/config_transfer.h"
#include "link/data_module.h"
#include "link/protocol.h"
#include "loops/loop_transfer.h"
#include "signed/digest.h"
#include "sim/scenarios.h"
#include "sim/sim_transport.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

using namespace vardex;
namespace protocol = link::protocol;

namespace {

struct RoundTrip {
    sim::SimTransport transport;
    link::DataModule dm{transport};
    QString id;

    explicit RoundTrip(sim::Firmware firmware = sim::fullControllerFirmware24())
    {
        sim::SimDeviceOptions o;
        o.latencyMs = 0;
        o.realTime = false;
        o.firmware = std::move(firmware);
        id = transport.addDevice(std::move(o));
        transport.plug(id);
        transport.start();
        test::waitUntil([&] { return dm.isConnected(); }, 2000);
    }

    // One request and its wait, as one operation.
    bool exchange(const link::Payload &request, int timeoutMs = 1000)
    {
        bool answered = false;
        dm.runOperation([&](link::OperationContext &ctx) {
            ctx.send(request);
            answered = ctx.waitReply(timeoutMs);
        });
        return answered;
    }

    // The configuration read: pages 0..2, then the page-3 request and its wait.
    bool readConfiguration(QStringList &messages)
    {
        bool read = false;
        dm.runOperation([&](link::OperationContext &ctx) {
            read = link::readConfiguration(ctx, [&](const QString &m) { messages << m; }) &&
                   ctx.waitReply(1000);
        });
        return read;
    }
};

} // namespace

TEST(RoundTrip, ClockWrittenThenRead)
{
    RoundTrip r;
    ASSERT_TRUE(r.dm.isConnected());
    // No reply is awaited for a clock write.
    EXPECT_FALSE(r.exchange(protocol::writeClock(2026, 3, 5, 14, 7, 9), 50));
    ASSERT_TRUE(r.exchange(protocol::readClock()));
    const link::DeviceClock &c = r.dm.image().clock;
    EXPECT_EQ(c.year, 26);
    EXPECT_EQ(c.month, 3);
    EXPECT_EQ(c.day, 5);
    EXPECT_EQ(c.hour, 14);
    EXPECT_EQ(c.minute, 7);
    EXPECT_GE(c.second, 9);
}

TEST(RoundTrip, OutputTaskShowsInTheNextState)
{
    RoundTrip r;
    link::OutputTask task;
    task.relaysTask = 0x05;
    task.switchesTask = 0x12;
    task.fanTask = {100, 50, 0, 0};
    r.dm.runOperation(
        [&](link::OperationContext &ctx) { ctx.send(protocol::writeOutputTask(task)); });
    test::spin(20);
    ASSERT_TRUE(r.exchange(protocol::readState(0)));
    ASSERT_TRUE(r.exchange(protocol::readState(1)));
    EXPECT_EQ(r.dm.image().state.relays, 0x05);
    EXPECT_EQ(r.dm.image().state.switches, 0x12);
    EXPECT_EQ(r.dm.image().state.fanTasks[0], 100);
    EXPECT_EQ(r.dm.image().state.fanTasks[1], 50);
}

TEST(RoundTrip, ConfigurationWrittenPageByPageReadsBackWithoutVersionBytes)
{
    RoundTrip r;
    QStringList messages;
    ASSERT_TRUE(r.readConfiguration(messages));
    link::MonitorConfig edited = r.dm.image().config;
    const std::uint8_t firmware = edited.firmwareVersion;
    edited.firmwareVersion = 99; // never sent: the controller keeps its own
    edited.hardwareConfigNumber = 42;
    edited.analogA[2] = 0.125f;
    edited.fanMin[3] = 33;
    edited.temperAlarmLow[0] = -160;
    edited.dallasAlarmDebounce[5] = 300; // 8 bits on the wire: 44
    for (int page = 0; page < 4; ++page)
        ASSERT_TRUE(r.exchange(*protocol::writeConfigPage(page, edited).payload)) << page;

    r.dm.image().config = {};
    ASSERT_TRUE(r.readConfiguration(messages));
    const link::MonitorConfig &back = r.dm.image().config;
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(back.firmwareVersion, firmware);
    EXPECT_EQ(back.hardwareConfigNumber, 42);
    EXPECT_EQ(back.analogA[2], 0.125f);
    EXPECT_EQ(back.fanMin[3], 33);
    EXPECT_EQ(back.temperAlarmLow[0], 65376);
    EXPECT_EQ(back.dallasAlarmDebounce[5], 44);
}

TEST(RoundTrip, LoopRecordsBothKinds)
{
    RoundTrip r;
    link::UprLoopConfig loop;
    loop.contactUse = 0x81;
    loop.analogUse = 0x05;
    loop.hostControl = 3;
    loop.temperLevelLo[1] = -40;
    loop.contactMode = {1, 0, 0, 0, 0, 0, 0, 1};
    link::UprLoopConfigExt ext;
    ext.timerOn = 125;
    ext.outputMask = 0x10000;
    ASSERT_TRUE(r.exchange(protocol::writeLoop(7, loop)));
    ASSERT_TRUE(r.exchange(protocol::writeLoopExt(7, ext)));
    r.dm.image().loop(7).fill5 = 0x5A;

    ASSERT_TRUE(r.exchange(protocol::readLoop(7, protocol::LoopRecord::Main)));
    ASSERT_TRUE(r.exchange(protocol::readLoop(7, protocol::LoopRecord::Extended)));
    const link::UprLoopConfig &l = r.dm.image().loop(7);
    EXPECT_EQ(l.contactUse, 0x81);
    EXPECT_EQ(l.analogUse, 0x05);
    EXPECT_EQ(l.hostControl, 3);
    EXPECT_EQ(l.temperLevelLo[1], -40);
    EXPECT_EQ(l.contactMode[7], 1);
    EXPECT_EQ(l.fill5, 0x5A); // never on the wire
    EXPECT_EQ(r.dm.image().loopExt(7).timerOn, 125);
    EXPECT_EQ(r.dm.image().loopExt(7).outputMask, 0x10000u);
}

TEST(RoundTrip, MemoryWriteThenReadWithTheAddressClamp)
{
    RoundTrip r;
    const std::vector<std::uint8_t> block = {1, 2, 3, 4, 5};
    ASSERT_TRUE(r.exchange(*protocol::memoryWrite(300, block).payload));
    ASSERT_TRUE(r.exchange(protocol::memoryRead(300, 5)));
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(r.dm.replyByte(6 + i), block[i]);

    const std::vector<std::uint8_t> top = {0xAB};
    ASSERT_TRUE(r.exchange(*protocol::memoryWrite(8191, top).payload));
    ASSERT_TRUE(r.exchange(protocol::memoryRead(9000, 1)));
    EXPECT_EQ(r.dm.replyByte(6), 0xAB);
}

TEST(RoundTrip, LogRecordArrivesInTwoHalvesIntoTheBuffer)
{
    RoundTrip r(sim::controllerWithLog(20));
    bool halves = false;
    r.dm.runOperation([&](link::OperationContext &ctx) {
        ctx.send(protocol::readLogRecord(1));
        halves = ctx.waitReply(1000) && ctx.waitNextReport(1000);
    });
    ASSERT_TRUE(halves);
    const auto &buffer = r.dm.image().logRecordBuffer;
    EXPECT_TRUE(std::any_of(buffer.begin(), buffer.begin() + 50, [](auto b) { return b != 0; }));
    EXPECT_TRUE(std::any_of(buffer.begin() + 50, buffer.begin() + 74, [](auto b) { return b; }));
    EXPECT_TRUE(std::all_of(buffer.begin() + 74, buffer.end(), [](auto b) { return b == 0; }));
}

TEST(RoundTrip, SerialLineKeepsBytesAndReturnsTheLast)
{
    RoundTrip r;
    const std::vector<std::uint8_t> text = {0x1B, 0x40, 'H', 'i'};
    ASSERT_TRUE(r.exchange(*protocol::serialSend(text).payload));
    ASSERT_TRUE(r.exchange(protocol::serialRead()));
    EXPECT_EQ(r.dm.image().serialByte, 'i');
    std::vector<std::uint8_t> kept;
    r.transport.withFirmware(r.id, [&](sim::Firmware &f) { kept = f.serialBytes(); });
    EXPECT_EQ(kept, text);
}

TEST(RoundTrip, IdentityStaysInTheReportBuffer)
{
    RoundTrip r;
    r.transport.withFirmware(r.id, [](sim::Firmware &f) {
        f.setIdentity({1, 2, 3, 4, 5, 6, 7, 8, 9, 0x1FF});
    });
    ASSERT_TRUE(r.exchange(protocol::readIdentity()));
    EXPECT_EQ(r.dm.replyByte(6), 1);
    EXPECT_EQ(r.dm.replyByte(38), 9);
    EXPECT_EQ(r.dm.replyByte(42), 0xFF); // low byte of the tenth group
}

TEST(RoundTrip, SignedCommandWithFetchedKeysIsAccepted)
{
    RoundTrip r;
    r.transport.withFirmware(r.id, [](sim::Firmware &f) { f.setOpenKey({9, 8, 7, 6}); });
    ASSERT_TRUE(r.exchange(protocol::generateKey()));
    ASSERT_TRUE(r.exchange(protocol::readOpenKey()));
    link::DeviceImage &image = r.dm.image();
    EXPECT_EQ(image.openKey, (std::array<std::uint8_t, 4>{9, 8, 7, 6}));
    std::array<std::uint8_t, 16> controllerKey{};
    r.transport.withFirmware(r.id, [&](sim::Firmware &f) { controllerKey = f.generatedKey(); });
    EXPECT_EQ(image.generatedKey, controllerKey);

    image.hashDigest = sign::signedCommandDigest(image.openKey, image.generatedKey);
    ASSERT_TRUE(r.exchange(protocol::sendHash(image.hashDigest)));
    int accepted = 0;
    r.transport.withFirmware(r.id,
                             [&](sim::Firmware &f) { accepted = f.acceptedSignedCommands(); });
    EXPECT_EQ(accepted, 1);
    EXPECT_NE(image.hashReply, (std::array<std::uint8_t, 20>{}));
    ASSERT_TRUE(r.exchange(protocol::resetHash()));
}

TEST(RoundTrip, LoopWriteUnpluggedDuringItsCheckReportsTheDisconnect)
{
    RoundTrip r;
    // The controller goes away with the read-back request in flight.
    r.transport.addFault(r.id, {sim::Fault::Kind::Unplug, protocol::code::MemoryRead});
    bool ran = false;
    loops::WriteOutcome outcome = loops::WriteOutcome::Written;
    r.dm.runOperation([&](link::OperationContext &ctx) {
        ran = true;
        outcome = loops::writeLoop(ctx, 5);
    });
    ASSERT_TRUE(ran);
    EXPECT_EQ(outcome, loops::WriteOutcome::Disconnected);
}

TEST(RoundTrip, ReadAllLoopsUnpluggedSaysSoInsteadOfRunningOutItsWaits)
{
    RoundTrip r;
    r.transport.addFault(r.id, {sim::Fault::Kind::Unplug, protocol::code::Loop, 3});
    link::OpStatus status = link::OpStatus::Done;
    r.dm.runOperation(
        [&](link::OperationContext &ctx) { status = loops::readAllLoops(ctx).status; });
    EXPECT_EQ(status, link::OpStatus::Disconnected);
    int loopReads = 0;
    for (const auto &rq : r.transport.receivedRequests(r.id))
        loopReads += rq[link::pos::Code] == protocol::code::Loop;
    EXPECT_EQ(loopReads, 5); // loops 1 and 2 both records, then loop 3's main record
}

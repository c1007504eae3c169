#include "link/data_module.h"
#include "link/reply_table.h"
#include "sim/scenarios.h"
#include "sim/sim_transport.h"
#include "support/test_support.h"

#include <QElapsedTimer>
#include <QThread>

#include <cerrno>

#include <gtest/gtest.h>

#include <thread>

using namespace vardex;
using link::Payload;
using sim::Fault;

namespace {

// The link's own reply table belongs to the protocol; these tests only need every
// controller reply to count as the awaited one.
link::ReplyOutcome acceptAny(const Payload &, link::DeviceImage &)
{
    return link::ReplyOutcome::Accepted;
}

const link::ReplyTable &acceptAllTable()
{
    static const link::ReplyTable table = [] {
        link::ReplyTable t{};
        t.fill(&acceptAny);
        return t;
    }();
    return table;
}

Payload request(std::uint8_t code, std::uint8_t sub = 0)
{
    Payload p{};
    p[link::pos::Code] = code;
    p[link::pos::Sub] = sub;
    return p;
}

// A data module talking to one plugged simulated controller.
struct Rig {
    explicit Rig(int latencyMs = 1, int featureLength = 65)
    {
        sim::SimDeviceOptions options;
        options.latencyMs = latencyMs;
        options.featureReportLength = featureLength;
        options.realTime = false;
        options.firmware = sim::fullControllerFirmware24();
        id = transport.addDevice(std::move(options));
        dm.setReplyTable(&acceptAllTable());
        transport.plug(id);
        transport.start();
        connected = test::waitUntil([&] { return dm.hasDevice(); }, 2000);
    }

    sim::SimTransport transport;
    link::DataModule dm{transport};
    QString id;
    bool connected = false;
};

} // namespace

TEST(SimLink, FirstEnumerationAnnouncesAPluggedDeviceFromTheEventLoop)
{
    sim::SimTransport transport;
    const QString id = transport.addDevice({});
    transport.plug(id);
    std::vector<link::HidDeviceInfo> arrived;
    QObject::connect(&transport, &link::Transport::deviceArrived,
                     [&](const link::HidDeviceInfo &info) { arrived.push_back(info); });
    transport.start();
    EXPECT_TRUE(arrived.empty()); // not from inside start()
    ASSERT_TRUE(test::waitUntil([&] { return arrived.size() == 1; }, 1000));
    EXPECT_EQ(arrived[0].product, "Quellbox");
}

TEST(SimLink, RoundTripStoresTheReplyInTheReportBuffer)
{
    Rig rig;
    ASSERT_TRUE(rig.connected);
    EXPECT_TRUE(rig.dm.isConnected());
    rig.dm.runOperation([&](link::OperationContext &ctx) {
        ctx.send(request(4));
        ASSERT_TRUE(ctx.waitReply(1000));
        EXPECT_EQ(rig.dm.replyByte(0), 4);
        EXPECT_EQ(rig.dm.replyByte(5), 6); // six clock bytes
        ASSERT_EQ(rig.transport.receivedRequests(rig.id).size(), 1u);
        EXPECT_EQ(rig.transport.receivedRequests(rig.id)[0][0], 4);
    });
}

TEST(SimLink, DeviceWithoutFeatureReportIsCurrentButNotConnected)
{
    Rig rig(1, 0);
    ASSERT_TRUE(rig.connected);
    EXPECT_FALSE(rig.dm.isConnected());
    rig.dm.runOperation([&](link::OperationContext &ctx) {
        ctx.send(request(4));
        EXPECT_TRUE(ctx.waitReply(1000));
    });
}

TEST(SimLink, LatencyHoldsTheReplyBack)
{
    Rig rig(40);
    ASSERT_TRUE(rig.connected);
    QElapsedTimer timer;
    timer.start();
    rig.dm.runOperation([&](link::OperationContext &ctx) {
        ctx.send(request(4));
        EXPECT_FALSE(ctx.waitReply(10));
        EXPECT_TRUE(ctx.waitReply(1000));
        EXPECT_GE(timer.elapsed(), 35);
    });
}

TEST(SimLink, LogRecordArrivesAsTwoReportsInOrder)
{
    Rig rig(0);
    ASSERT_TRUE(rig.connected);
    std::vector<Payload> seen;
    rig.dm.setTraceSink([&](const link::TraceEntry &e) {
        if (e.direction == link::TraceEntry::Direction::Received)
            seen.push_back(e.payload);
    });
    rig.transport.withFirmware(rig.id, [](sim::Firmware &fw) { fw.logSnapshot(); });
    Payload rq = request(11);
    rq[link::pos::Arg1] = 1;
    rig.dm.runOperation([&](link::OperationContext &ctx) {
        ctx.send(rq);
        ASSERT_TRUE(test::waitUntil([&] { return seen.size() == 2; }, 1000));
        EXPECT_EQ(seen[0][1], 0);
        EXPECT_EQ(seen[1][1], 1);
    });
}

TEST(SimFaults, DroppedReplyTimesOut)
{
    Rig rig;
    ASSERT_TRUE(rig.connected);
    rig.transport.addFault(rig.id, {Fault::Kind::Drop, 4});
    rig.dm.runOperation([&](link::OperationContext &ctx) {
        ctx.send(request(4));
        EXPECT_FALSE(ctx.waitReply(60));
        // Spent: the next one is answered.
        ctx.send(request(4));
        EXPECT_TRUE(ctx.waitReply(1000));
    });
}

TEST(SimFaults, FaultMatchesOnlyItsCodeAndSub)
{
    Rig rig;
    ASSERT_TRUE(rig.connected);
    rig.transport.addFault(rig.id, {Fault::Kind::Drop, 2, 1});
    rig.dm.runOperation([&](link::OperationContext &ctx) {
        ctx.send(request(2, 0));
        EXPECT_TRUE(ctx.waitReply(1000));
        ctx.send(request(2, 1));
        EXPECT_FALSE(ctx.waitReply(60));
    });
}

TEST(SimFaults, ErrorReplyIsSignalledAndEndsTheWait)
{
    Rig rig;
    ASSERT_TRUE(rig.connected);
    int errors = 0;
    QObject::connect(&rig.dm, &link::DataModule::controllerErrorReply, [&] { ++errors; });
    rig.transport.addFault(rig.id, {Fault::Kind::ErrorReply});
    rig.dm.runOperation([&](link::OperationContext &ctx) {
        ctx.send(request(1, 0));
        EXPECT_TRUE(ctx.waitReply(1000));
        EXPECT_EQ(errors, 1);
        EXPECT_EQ(rig.dm.replyByte(0), 0xFF);
        EXPECT_EQ(rig.dm.replyByte(1), 'E');
    });
}

TEST(SimFaults, DelayedReplyDoesNotEndTheNextWait)
{
    Rig rig;
    ASSERT_TRUE(rig.connected);
    std::vector<std::pair<bool, int>> traffic; // (sent, code)
    rig.dm.setTraceSink([&](const link::TraceEntry &e) {
        traffic.emplace_back(e.direction == link::TraceEntry::Direction::Sent, e.payload[0]);
    });
    rig.transport.addFault(rig.id, {Fault::Kind::Delay, 4, -1, 40});
    rig.dm.runOperation([&](link::OperationContext &ctx) {
        ctx.send(request(4));
        EXPECT_FALSE(ctx.waitReply(10));
        // Let the late reply reach the transport's queue without handling it.
        std::this_thread::sleep_for(std::chrono::milliseconds(80));
        rig.transport.addFault(rig.id, {Fault::Kind::Drop, 2});
        ctx.send(request(2));
        EXPECT_FALSE(ctx.waitReply(60));
        // The late clock reply was handled before the next request went out.
        EXPECT_EQ(traffic, (std::vector<std::pair<bool, int>>{{true, 4}, {false, 4}, {true, 2}}));
    });
}

TEST(SimFaults, DuplicateReplyComesTwice)
{
    Rig rig;
    ASSERT_TRUE(rig.connected);
    int clockReplies = 0;
    rig.dm.setTraceSink([&](const link::TraceEntry &e) {
        if (e.direction == link::TraceEntry::Direction::Received && e.payload[0] == 4)
            ++clockReplies;
    });
    rig.transport.addFault(rig.id, {Fault::Kind::Duplicate, 4});
    rig.dm.runOperation([&](link::OperationContext &ctx) {
        ctx.send(request(4));
        EXPECT_TRUE(ctx.waitReply(1000));
        EXPECT_TRUE(test::waitUntil([&] { return clockReplies == 2; }, 1000));
    });
}

TEST(SimFaults, LateReplyComesAfterTheNextRequest)
{
    Rig rig;
    ASSERT_TRUE(rig.connected);
    std::vector<int> codes;
    rig.dm.setTraceSink([&](const link::TraceEntry &e) {
        if (e.direction == link::TraceEntry::Direction::Received)
            codes.push_back(e.payload[0]);
    });
    rig.transport.addFault(rig.id, {Fault::Kind::Late, 4});
    rig.dm.runOperation([&](link::OperationContext &ctx) {
        ctx.send(request(4));
        EXPECT_FALSE(ctx.waitReply(50));
        ctx.send(request(2, 1));
        ASSERT_TRUE(test::waitUntil([&] { return codes.size() == 2; }, 1000));
        EXPECT_EQ(codes, (std::vector<int>{4, 2}));
    });
}

TEST(SimFaults, UnplugMidExchangeDisconnectsAndTheWaitTimesOut)
{
    Rig rig;
    ASSERT_TRUE(rig.connected);
    std::vector<bool> connection;
    QObject::connect(&rig.dm, &link::DataModule::connectionChanged,
                     [&](bool connected) { connection.push_back(connected); });
    rig.transport.addFault(rig.id, {Fault::Kind::Unplug, 1});
    rig.dm.runOperation([&](link::OperationContext &ctx) {
        ctx.send(request(1, 0));
        EXPECT_FALSE(ctx.waitReply(100));
        EXPECT_EQ(connection, std::vector<bool>{false});
        EXPECT_FALSE(rig.dm.hasDevice());
        EXPECT_FALSE(rig.transport.isPlugged(rig.id));
    });
}

TEST(SimFaults, UnpluggedDeviceAnswersNothingBeforeTheRemovalReachesTheLink)
{
    Rig rig;
    ASSERT_TRUE(rig.connected);
    rig.transport.addFault(rig.id, {Fault::Kind::Unplug, 4});
    rig.dm.runOperation([&](link::OperationContext &ctx) {
        ctx.send(request(4, 0));
        // The GUI thread is busy: the removal notice is not handled yet.
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        std::array<std::uint8_t, link::kOutputReportSize> task{};
        task[1] = 3; // output task
        task[7] = 1; // TTL output 1
        QString text;
        quint32 code = 0;
        EXPECT_FALSE(rig.transport.write(rig.id, task, &text, &code));
        EXPECT_EQ(code, quint32(ENODEV));
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        std::uint8_t ttl = 0xFF;
        rig.transport.withFirmware(rig.id,
                                   [&](sim::Firmware &f) { ttl = f.outputTask().ttlOutputs; });
        EXPECT_EQ(ttl, 0);
        EXPECT_EQ(rig.transport.receivedRequests(rig.id).size(), 1u);
    });
}

TEST(SimFaults, WriteToUnpluggedDeviceFailsWithNoDevice)
{
    sim::SimTransport transport;
    const QString id = transport.addDevice({});
    std::array<std::uint8_t, link::kOutputReportSize> report{};
    QString text;
    quint32 code = 0;
    EXPECT_FALSE(transport.write(id, report, &text, &code));
    EXPECT_EQ(code, quint32(ENODEV));
    EXPECT_FALSE(text.isEmpty());
    EXPECT_FALSE(transport.write(QStringLiteral("nowhere"), report, &text, &code));
}

TEST(SimLink, ReplugAfterUnplugServesAgain)
{
    Rig rig;
    ASSERT_TRUE(rig.connected);
    rig.transport.unplug(rig.id);
    EXPECT_FALSE(rig.dm.hasDevice());
    rig.transport.plug(rig.id);
    ASSERT_TRUE(rig.dm.hasDevice());
    rig.dm.runOperation([&](link::OperationContext &ctx) {
        ctx.send(request(4));
        EXPECT_TRUE(ctx.waitReply(1000));
    });
}

TEST(SimLink, SecondControllerAnswersFromItsOwnFirmware)
{
    Rig rig;
    ASSERT_TRUE(rig.connected);
    sim::SimDeviceOptions older;
    older.firmware = sim::fullControllerFirmware23();
    older.realTime = false;
    const QString second = rig.transport.addDevice(std::move(older));
    rig.transport.plug(second);
    ASSERT_EQ(rig.dm.currentDevice().id, second);
    rig.dm.runOperation([&](link::OperationContext &ctx) {
        ctx.send(request(1, 0));
        ASSERT_TRUE(ctx.waitReply(1000));
        EXPECT_EQ(rig.dm.replyByte(6), 23);
        EXPECT_TRUE(rig.transport.receivedRequests(rig.id).empty());
    });
}

TEST(SimLink, PlugFromAnotherThreadArrivesOnTheOwningThread)
{
    sim::SimTransport transport;
    const QString id = transport.addDevice({});
    transport.start();
    test::spin(5);
    QThread *arrivedOn = nullptr;
    QObject::connect(&transport, &link::Transport::deviceArrived,
                     [&](const link::HidDeviceInfo &) { arrivedOn = QThread::currentThread(); });
    std::thread([&] { transport.plug(id); }).join();
    ASSERT_TRUE(test::waitUntil([&] { return arrivedOn != nullptr; }, 1000));
    EXPECT_EQ(arrivedOn, transport.thread());
}

TEST(SimLink, InjectedReportReachesTheHandlerWithoutARequest)
{
    Rig rig;
    ASSERT_TRUE(rig.connected);
    rig.transport.injectReport(rig.id, request(10, 2));
    rig.dm.runOperation([&](link::OperationContext &ctx) {
        EXPECT_TRUE(ctx.waitNextReport(500));
        EXPECT_EQ(rig.dm.replyByte(0), 10);
    });
}

TEST(SimFaults, ANoticeComesBeforeTheReplyWhichStillAnswers)
{
    Rig rig;
    ASSERT_TRUE(rig.connected);
    std::vector<Payload> seen;
    rig.dm.setTraceSink([&](const link::TraceEntry &e) {
        if (e.direction == link::TraceEntry::Direction::Received)
            seen.push_back(e.payload);
    });
    for (int variant = 0; variant < 6; ++variant)
        rig.transport.addFault(rig.id, {Fault::Kind::Notice, 4, -1, variant});
    for (int variant = 0; variant < 6; ++variant) {
        seen.clear();
        rig.dm.runOperation([&](link::OperationContext &ctx) {
            ctx.send(request(4));
            ASSERT_TRUE(ctx.waitReply(1000));
            EXPECT_EQ(ctx.lastReply()[0], 4); // the answer, not the notice
        });
        ASSERT_EQ(seen.size(), 2u);
        EXPECT_TRUE(link::isControllerNotice(seen[0])) << int(seen[0][0]) << "/" << int(seen[0][1]);
        EXPECT_EQ(seen[1][0], 4);
    }
}

#include "link/data_module.h"
#include "link/protocol.h"
#include "sim/scenarios.h"
#include "sim/sim_transport.h"
#include "support/test_support.h"
#include "trace/trace_decoder.h"

#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

#include <thread>

using namespace vardex;
using sim::Fault;
namespace protocol = link::protocol;

namespace {

sim::SimDeviceOptions controller(const QString &id, int latencyMs = 1,
                                 const QString &product = QStringLiteral("Quellbox"))
{
    sim::SimDeviceOptions o;
    o.id = id;
    o.product = product;
    o.latencyMs = latencyMs;
    o.realTime = false;
    o.firmware = sim::fullControllerFirmware24();
    return o;
}

struct Link {
    sim::SimTransport transport;
    link::DataModule dm{transport};
    QList<bool> connectionEvents;

    Link()
    {
        QObject::connect(&dm, &link::DataModule::connectionChanged,
                         [this](bool c) { connectionEvents << c; });
    }

    QString plugged(sim::SimDeviceOptions options)
    {
        const QString id = transport.addDevice(std::move(options));
        transport.plug(id);
        transport.start();
        test::waitUntil([&] { return dm.currentDevice().id == id; }, 2000);
        return id;
    }

    // A device the link should not take: plugged, then given time to be announced.
    QString pluggedUnclaimed(sim::SimDeviceOptions options)
    {
        const QString id = transport.addDevice(std::move(options));
        transport.plug(id);
        transport.start();
        test::spin(30);
        return id;
    }

    int requestsWithCode(const QString &id, int code)
    {
        int n = 0;
        for (const auto &r : transport.receivedRequests(id))
            n += r[0] == code;
        return n;
    }
};

} // namespace

TEST(DataModuleDevices, SecondControllerReplacesTheFirstWhoseReportsAreIgnored)
{
    Link l;
    const QString first = l.plugged(controller(QStringLiteral("a")));
    const QString second = l.plugged(controller(QStringLiteral("b")));
    ASSERT_EQ(l.dm.currentDevice().id, second);
    // The replacement is a new connection: pages drop the first one's state first.
    EXPECT_EQ(l.connectionEvents, (QList<bool>{true, false, true}));

    // The first device is no longer claimed: a report it sends reaches nobody.
    link::Payload clock{};
    clock[0] = 4;
    clock[6] = 99;
    l.transport.injectReport(first, clock);
    test::spin(30);
    EXPECT_EQ(l.dm.image().clock.year, 0);

    l.dm.runOperation([&](link::OperationContext &ctx) {
        ctx.send(protocol::readClock());
        EXPECT_TRUE(ctx.waitReply(1000));
        EXPECT_EQ(l.requestsWithCode(second, 4), 1);
        EXPECT_EQ(l.requestsWithCode(first, 4), 0);
    });
}

TEST(DataModuleDevices, ProductStringMustMatchExactly)
{
    Link l;
    l.pluggedUnclaimed(controller(QStringLiteral("lower"), 1, QStringLiteral("QuellBox")));
    l.pluggedUnclaimed(controller(QStringLiteral("prefix"), 1, QStringLiteral("Quellbox2")));
    EXPECT_FALSE(l.dm.hasDevice());
    EXPECT_TRUE(l.connectionEvents.isEmpty());
}

TEST(DataModuleDevices, RemovalOfAnotherDeviceLeavesTheCurrentOne)
{
    Link l;
    const QString other =
        l.pluggedUnclaimed(controller(QStringLiteral("x"), 1, QStringLiteral("Mouse")));
    const QString ours = l.plugged(controller(QStringLiteral("q")));
    l.transport.unplug(other);
    test::spin(20);
    EXPECT_EQ(l.dm.currentDevice().id, ours);
    EXPECT_EQ(l.connectionEvents, (QList<bool>{true}));
}

TEST(DataModuleWait, TimeoutZeroHandlesAReplyAlreadyQueued)
{
    Link l;
    const QString id = l.plugged(controller(QStringLiteral("q")));
    l.dm.runOperation([&](link::OperationContext &ctx) {
        ctx.send(protocol::readClock());
        // Let the reply reach the transport's queue without running the event loop.
        for (int i = 0; i < 200 && l.transport.receivedRequests(id).empty(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        EXPECT_TRUE(ctx.waitReply(0));
    });
}

TEST(DataModuleWait, TimeoutZeroWithoutReplyReturnsAtOnce)
{
    Link l;
    const QString id = l.plugged(controller(QStringLiteral("q")));
    l.transport.addFault(id, {Fault::Kind::Drop, 4});
    l.dm.runOperation([&](link::OperationContext &ctx) {
        ctx.send(protocol::readClock());
        QElapsedTimer t;
        t.start();
        EXPECT_FALSE(ctx.waitReply(0));
        EXPECT_LT(t.elapsed(), 500);
    });
}

TEST(DataModuleWait, LateReplyOfAnotherRequestDoesNotEndTheNextWait)
{
    Link l;
    const QString id = l.plugged(controller(QStringLiteral("q")));
    // The clock reply comes 150 ms late, while the state request is outstanding.
    l.transport.addFault(id, {Fault::Kind::Delay, 4, -1, 150});
    l.transport.addFault(id, {Fault::Kind::Drop, 2});
    l.dm.runOperation([&](link::OperationContext &ctx) {
        ctx.send(protocol::readClock());
        EXPECT_FALSE(ctx.waitReply(20));
        ctx.send(protocol::readState(1));
        EXPECT_FALSE(ctx.waitReply(400));
        // It was still stored: the image holds the controller's clock.
        EXPECT_NE(l.dm.image().clock.month, 0);
    });
}

// Serial-line acknowledgements name nothing of their command and come in order: one that
// comes while an earlier command (sent without a wait, or whose wait ended) is owed its
// own is that one's. It does not end the next command's wait, and the trace marks it late.
TEST(DataModuleWait, ALateDisplayAcknowledgementIsNotTakenForTheNextCommand)
{
    Link l;
    const QString id = l.plugged(controller(QStringLiteral("q")));
    // Every acknowledgement comes from the test, when it says (a fault serves one request).
    for (int i = 0; i < 4; ++i)
        l.transport.addFault(id, {Fault::Kind::Drop, protocol::code::SerialSend});
    trace::Decoder decoder;
    QList<trace::Mark> ackMarks;
    l.dm.setTraceSink([&](const link::TraceEntry &e) {
        const trace::DecodedEntry d = decoder.decode(e);
        if (e.direction == link::TraceEntry::Direction::Received)
            ackMarks << d.mark;
    });
    link::Payload ack{};
    ack[link::pos::Code] = protocol::code::SerialSend;
    const std::uint8_t bitmap[] = {0x1B, 0x42};
    const std::uint8_t cursor[] = {0x1B, 0x43};
    l.dm.runOperation([&](link::OperationContext &ctx) {
        ctx.send(*protocol::serialSend(bitmap).payload); // no wait, as test 1's columns
        ctx.send(*protocol::serialSend(cursor).payload);
        l.transport.injectReport(id, ack); // the bitmap's, late
        EXPECT_FALSE(ctx.waitReply(300));
        l.transport.injectReport(id, ack); // the cursor's
        EXPECT_TRUE(ctx.waitReply(300));
    });
    EXPECT_EQ(l.dm.lateAcknowledgements(), 1);
    EXPECT_EQ(ackMarks, (QList<trace::Mark>{trace::Mark::Late, trace::Mark::None}));

    // An acknowledgement that came in time leaves nothing owed.
    l.dm.runOperation([&](link::OperationContext &ctx) {
        ctx.send(*protocol::serialSend(bitmap).payload);
        l.transport.injectReport(id, ack);
        ctx.pause(50);
        ctx.send(*protocol::serialSend(cursor).payload);
        l.transport.injectReport(id, ack);
        EXPECT_TRUE(ctx.waitReply(300));
    });
    EXPECT_EQ(l.dm.lateAcknowledgements(), 1);
}

TEST(DataModuleWait, ErrorReplyEndsAnyWaitAfterItsMessage)
{
    Link l;
    const QString id = l.plugged(controller(QStringLiteral("q")));
    int messages = 0;
    QObject::connect(&l.dm, &link::DataModule::controllerErrorReply, [&] { ++messages; });
    l.transport.addFault(id, {Fault::Kind::ErrorReply, 1});
    l.dm.runOperation([&](link::OperationContext &ctx) {
        ctx.send(protocol::readConfigPage(0));
        EXPECT_TRUE(ctx.waitReply(1000));
        EXPECT_EQ(messages, 1);
    });
}

TEST(DataModuleWait, UnplugDuringAWaitRaisesTheEventAndEndsTheWaitAtOnce)
{
    Link l;
    const QString id = l.plugged(controller(QStringLiteral("q")));
    l.transport.addFault(id, {Fault::Kind::Unplug, 4});
    l.dm.runOperation([&](link::OperationContext &ctx) {
        ctx.send(protocol::readClock());
        QElapsedTimer t;
        t.start();
        EXPECT_FALSE(ctx.waitReply(5000));
        EXPECT_LT(t.elapsed(), 2500); // not the whole time-out
        EXPECT_EQ(l.connectionEvents, (QList<bool>{true, false}));
        EXPECT_FALSE(l.dm.hasDevice());
        // Sending without a device does nothing and reports nothing.
        ctx.send(protocol::readClock());
        EXPECT_FALSE(ctx.waitReply(0));
    });
}

TEST(DataModuleOperations, TimerTickDuringAWaitIsSkippedAndAClickRunsAfterwards)
{
    Link l;
    const QString id = l.plugged(controller(QStringLiteral("q"), 40));
    std::vector<std::string> order;
    int skippedTicks = 0;

    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const bool ran = l.dm.runTick(&ticker, [&](link::OperationContext &) {
            order.push_back("tick");
        }) == link::DataModule::TickOutcome::Ran;
        skippedTicks += !ran;
    });
    bool clickQueued = false;
    QTimer click;
    click.setSingleShot(true);
    QObject::connect(&click, &QTimer::timeout, [&] {
        clickQueued = true;
        l.dm.runOperation([&](link::OperationContext &ctx) {
            order.push_back("click");
            ctx.send(protocol::readState(0));
            ctx.waitReply(1000);
        });
    });

    l.dm.runOperation([&](link::OperationContext &ctx) {
        ticker.start();
        click.start(10);
        order.push_back("op:start");
        ctx.send(protocol::readClock());
        EXPECT_TRUE(ctx.waitReply(1000));
        ctx.send(protocol::readState(1));
        EXPECT_TRUE(ctx.waitReply(1000));
        order.push_back("op:end");
    });
    ticker.stop();

    EXPECT_TRUE(clickQueued);
    EXPECT_GT(skippedTicks, 0);
    EXPECT_EQ(order, (std::vector<std::string>{"op:start", "op:end", "click"}));
    const auto requests = l.transport.receivedRequests(id);
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0][0], 4);
    EXPECT_EQ(requests[1][0], 2);
    EXPECT_EQ(requests[1][1], 1);
    EXPECT_EQ(requests[2][1], 0);
    EXPECT_FALSE(l.dm.isBusy());
}

TEST(DataModuleOperations, ShutdownEndsTheWaitAtOnceAndDropsQueuedWork)
{
    Link l;
    const QString id = l.plugged(controller(QStringLiteral("q")));
    l.transport.addFault(id, {Fault::Kind::Drop, 4});
    bool queuedRan = false;
    QTimer::singleShot(20, [&] {
        l.dm.runOperation([&](link::OperationContext &) { queuedRan = true; });
        l.dm.shutdown();
    });
    QElapsedTimer t;
    t.start();
    bool waited = true;
    l.dm.runOperation([&](link::OperationContext &ctx) {
        ctx.send(protocol::readClock());
        waited = ctx.waitReply(5000);
        // The operation unwinds: further requests go nowhere, waits return at once.
        ctx.send(protocol::readClock());
        EXPECT_FALSE(ctx.waitReply(5000));
    });
    EXPECT_FALSE(waited);
    EXPECT_LT(t.elapsed(), 2000);
    EXPECT_FALSE(queuedRan);
    EXPECT_EQ(l.requestsWithCode(id, 4), 1);
}

TEST(DataModuleTrace, EveryReportWithDirectionAndMonotonicTime)
{
    Link l;
    l.plugged(controller(QStringLiteral("q")));
    std::vector<link::TraceEntry> trace;
    l.dm.setTraceSink([&](const link::TraceEntry &e) { trace.push_back(e); });
    l.dm.runOperation([&](link::OperationContext &ctx) {
        ctx.send(protocol::readState(1));
        ASSERT_TRUE(ctx.waitReply(1000));
        ASSERT_EQ(trace.size(), 2u);
        EXPECT_EQ(trace[0].direction, link::TraceEntry::Direction::Sent);
        EXPECT_EQ(trace[0].payload, protocol::readState(1));
        EXPECT_EQ(trace[1].direction, link::TraceEntry::Direction::Received);
        EXPECT_EQ(trace[1].payload[0], 2);
        EXPECT_LE(trace[0].nanoseconds, trace[1].nanoseconds);
    });
}

TEST(DataModuleWait, TwoReportsOfOneRequestEndTwoWaitsEvenWhenQueuedTogether)
{
    Link l;
    sim::SimDeviceOptions o = controller(QStringLiteral("q"), 0);
    o.firmware = sim::controllerWithLog(10);
    const QString id = l.plugged(std::move(o));
    l.dm.runOperation([&](link::OperationContext &ctx) {
        ctx.send(protocol::readLogRecord(1));
        // Both halves reach the transport's queue before the first wait looks.
        for (int i = 0; i < 200 && l.transport.receivedRequests(id).empty(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        ASSERT_TRUE(ctx.waitReply(0));
        EXPECT_EQ(l.dm.replyByte(1), 0);
        ASSERT_TRUE(ctx.waitNextReport(0));
        EXPECT_EQ(l.dm.replyByte(1), 1);
    });
}

TEST(DataModuleWait, ReportsArrivingWhileTheErrorMessageIsOpenAreForTheNextWait)
{
    Link l;
    const QString id = l.plugged(controller(QStringLiteral("q")));
    auto page = [](std::uint8_t firmware) {
        link::Payload p{};
        p[link::pos::Code] = protocol::code::ConfigPage;
        p[link::pos::Data] = firmware;
        return p;
    };
    // The message box runs a modal loop; a page reply comes in while it is open.
    QObject::connect(&l.dm, &link::DataModule::controllerErrorReply, [&] {
        l.transport.injectReport(id, page(24));
        test::spin(50);
    });
    l.transport.addFault(id, {Fault::Kind::Drop, 1});
    l.dm.runOperation([&](link::OperationContext &ctx) {
        ctx.send(protocol::readConfigPage(0));
        // A reply and the error reply in one batch: the error reply waits for the next wait.
        l.transport.injectReport(id, page(7));
        l.transport.injectReport(id, sim::Firmware::errorReply());
        ASSERT_TRUE(ctx.waitReply(1000));
        EXPECT_EQ(l.dm.image().config.firmwareVersion, 7);
        ASSERT_TRUE(ctx.waitNextReport(1000));
        // The caller sees the error reply, not the report that came while its message was open.
        EXPECT_TRUE(link::isErrorReply(ctx.lastReply()));
        EXPECT_EQ(l.dm.image().config.firmwareVersion, 7);
        ASSERT_TRUE(ctx.waitNextReport(0));
        EXPECT_EQ(l.dm.replyByte(link::pos::Code), protocol::code::ConfigPage);
        EXPECT_EQ(l.dm.image().config.firmwareVersion, 24);
    });
}

TEST(DataModulePause, AReplyDuringAPauseIsHandledButDoesNotShortenIt)
{
    Link l;
    const QString id = l.plugged(controller(QStringLiteral("q")));
    link::Payload notice{};
    notice[link::pos::Code] = protocol::code::Unsolicited10;
    QTimer::singleShot(20, [&] { l.transport.injectReport(id, notice); });
    QElapsedTimer t;
    t.start();
    l.dm.runOperation([&](link::OperationContext &ctx) {
        ctx.pause(200);
        EXPECT_GE(t.elapsed(), 190);
        EXPECT_TRUE(l.dm.replyReceived());
    });
}

// ---- taking a device --------------------------------------------------------------------

TEST(DataModuleDevices, ASecondControllerThatCannotBeOpenedLeavesTheWorkingOne)
{
    Link l;
    QStringList errors;
    QObject::connect(&l.dm, &link::DataModule::linkError, [&](const QString &e) { errors << e; });
    const QString first = l.plugged(controller(QStringLiteral("a")));
    auto busy = controller(QStringLiteral("b"));
    busy.openError = QStringLiteral("Device or resource busy");
    l.pluggedUnclaimed(std::move(busy));

    EXPECT_EQ(l.dm.currentDevice().id, first);
    EXPECT_TRUE(l.dm.isConnected());
    EXPECT_EQ(l.connectionEvents, (QList<bool>{true}));
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains(QStringLiteral("Device or resource busy")))
        << errors[0].toStdString();
    l.dm.runOperation([&](link::OperationContext &ctx) {
        // The first still answers, and its unplug is still noticed.
        ctx.send(protocol::readClock());
        EXPECT_TRUE(ctx.waitReply(1000));
        l.transport.unplug(first);
        EXPECT_EQ(l.connectionEvents, (QList<bool>{true, false}));
        EXPECT_FALSE(l.dm.hasDevice());
    });
}

TEST(DataModuleDevices, AControllerThatCannotBeOpenedLeavesTheLinkWithoutDevice)
{
    Link l;
    QStringList errors;
    QObject::connect(&l.dm, &link::DataModule::linkError, [&](const QString &e) { errors << e; });
    auto denied = controller(QStringLiteral("b"));
    denied.openError = QStringLiteral("Permission denied");
    l.pluggedUnclaimed(std::move(denied));
    EXPECT_FALSE(l.dm.hasDevice());
    EXPECT_TRUE(l.connectionEvents.isEmpty());
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains(QStringLiteral("Permission denied"))) << errors[0].toStdString();
}

// ---- which reply answers which request ----------------------------------------------------

namespace {

link::Payload reply(int code, int sub, int arg1 = 0)
{
    link::Payload p{};
    p[link::pos::Code] = static_cast<std::uint8_t>(code);
    p[link::pos::Sub] = static_cast<std::uint8_t>(sub);
    p[link::pos::Arg1] = static_cast<std::uint8_t>(arg1);
    return p;
}

struct StaleReplyCase {
    const char *what;
    link::Payload request;
    link::Payload stale;  // same Code, answers something else
    link::Payload answer; // what the controller sends for request
};

} // namespace

TEST(DataModuleWait, AReplyOfTheSameCodeToAnotherRequestDoesNotEndTheWait)
{
    const std::array<std::uint8_t, 20> digest{};
    const std::vector<StaleReplyCase> cases = {
        {"reset acknowledgement during SendHash", protocol::sendHash(digest), reply(15, 2),
         reply(15, 0)},
        {"state Sub 0 during the Sub 1 wait", protocol::readState(1), reply(2, 0), reply(2, 1)},
        {"configuration page 0 during the page 1 wait", protocol::readConfigPage(1), reply(1, 0),
         reply(1, 1)},
        {"loop 4 during the loop 5 wait", protocol::readLoop(5, protocol::LoopRecord::Main),
         reply(6, 4, 0), reply(6, 5, 0)},
        {"main record during the extended record wait",
         protocol::readLoop(5, protocol::LoopRecord::Extended), reply(6, 5, 0), reply(6, 5, 1)},
        {"memory at 4096 during the 4160 wait", protocol::memoryRead(4160, 56),
         reply(32, 0x00, 0x10), reply(32, 0x40, 0x10)},
    };
    Link l;
    const QString id = l.plugged(controller(QStringLiteral("q")));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        l.transport.addFault(id, {Fault::Kind::Drop});
        l.dm.runOperation([&](link::OperationContext &ctx) {
            ctx.send(c.request);
            l.transport.injectReport(id, c.stale);
            EXPECT_FALSE(ctx.waitReply(60));
            l.transport.injectReport(id, c.answer);
            EXPECT_TRUE(ctx.waitReply(1000));
        });
    }
}

TEST(DataModuleWait, ANoticeRaisesTheReplyFlagButNeitherEndsNorAnswersTheWait)
{
    struct NoticeCase {
        const char *what;
        link::Payload request;
        link::Payload notice;
        link::Payload answer;
    };
    const std::vector<NoticeCase> cases = {
        {"code 10 during a clock read", protocol::readClock(), reply(10, 3), reply(4, 0)},
        {"code 34 Sub 6 during a clock read", protocol::readClock(), reply(34, 6), reply(4, 0)},
        {"code 35 during a memory read", protocol::memoryRead(0x1C00, 58), reply(35, 1),
         reply(32, 0x00, 0x1C)},
        {"code 34 Sub 1 during the identity read", protocol::readIdentity(), reply(34, 1),
         reply(34, protocol::kIdentitySub)},
    };
    Link l;
    const QString id = l.plugged(controller(QStringLiteral("q")));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        link::Payload notice = c.notice;
        notice[link::kDataOffset] = 3; // would read as a ring position or a record count
        notice[link::kDataOffset + 2] = 1;
        link::Payload answer = c.answer;
        answer[link::kDataOffset] = 40;
        l.transport.addFault(id, {Fault::Kind::Drop});
        l.dm.runOperation([&](link::OperationContext &ctx) {
            ctx.send(c.request);
            l.transport.injectReport(id, notice);
            EXPECT_FALSE(ctx.waitReply(60));
            EXPECT_TRUE(l.dm.replyReceived()); // the flag as the controller's notices set it
            l.transport.injectReport(id, answer);
            ASSERT_TRUE(ctx.waitReply(1000));
            EXPECT_EQ(ctx.lastReply(), answer);
        });
    }
}

TEST(DataModuleWait, ANoticeEndsAWaitWithoutARequest)
{
    Link l;
    const QString id = l.plugged(controller(QStringLiteral("q")));
    l.transport.injectReport(id, reply(35, 0));
    l.dm.runOperation([&](link::OperationContext &ctx) {
        EXPECT_TRUE(ctx.waitReply(1000));
        EXPECT_EQ(ctx.lastReply()[link::pos::Code], 35);
    });
}

TEST(DataModuleOperations, AContextKeptBeyondItsOperationReachesNothing)
{
    Link l;
    const QString id = l.plugged(controller(QStringLiteral("q")));
    link::OperationContext *kept = nullptr;
    l.dm.runOperation([&](link::OperationContext &ctx) { kept = &ctx; });
    ASSERT_NE(kept, nullptr);
    kept->send(protocol::readClock());
    EXPECT_FALSE(kept->waitReply(1000));
    EXPECT_TRUE(kept->cancelled());
    EXPECT_EQ(l.requestsWithCode(id, 4), 0);
}

TEST(DataModuleWait, ALateHashResetDoesNotLetTheHashWaitEndBeforeItsReply)
{
    Link l;
    const QString id = l.plugged(controller(QStringLiteral("q")));
    // "Сброс" then "HASH" at once: the reset's acknowledgement comes while the hash waits.
    l.transport.addFault(id, {Fault::Kind::Delay, 15, 2, 30});
    l.dm.runOperation([&](link::OperationContext &ctx) {
        ctx.send(protocol::resetHash());
        EXPECT_FALSE(ctx.waitReply(0));
        std::array<std::uint8_t, 20> digest{};
        digest.fill(0x5A);
        l.dm.image().hashReply.fill(0xEE);
        ctx.send(protocol::sendHash(digest));
        ASSERT_TRUE(ctx.waitReply(1000));
        // Ended by the hash reply itself: the image holds what it carried.
        EXPECT_EQ(ctx.lastReply()[link::pos::Sub], protocol::hash::SendHash);
        EXPECT_NE(l.dm.image().hashReply[0], 0xEE);
    });
}

// ---- letting a device go ------------------------------------------------------------------

TEST(DataModuleDevices, RepliesHeldForTheNextWaitReachTheImageBeforeTheDeviceGoes)
{
    Link l;
    const QString id = l.plugged(controller(QStringLiteral("q")));
    l.transport.addFault(id, {Fault::Kind::Drop, 4});
    l.dm.runOperation([&](link::OperationContext &ctx) {
        ctx.send(protocol::readClock());
        auto clock = [](int year) {
            link::Payload p = reply(4, 0);
            p[6] = static_cast<std::uint8_t>(year);
            p[7] = 1;
            p[8] = 1;
            return p;
        };
        // Both in one batch: the wait takes the first, the second is held for the next wait.
        l.transport.injectReport(id, clock(10));
        l.transport.injectReport(id, clock(20));
        ASSERT_TRUE(ctx.waitReply(1000));
        EXPECT_EQ(l.dm.image().clock.year, 10);
        l.transport.unplug(id);
        EXPECT_FALSE(l.dm.hasDevice());
        EXPECT_EQ(l.dm.image().clock.year, 20);
    });
}

// ---- unplugging during an operation ---------------------------------------------------------

TEST(DataModuleOperations, UnplugEndsTheRunningOperationsWaitsAndSaysItWasADisconnect)
{
    Link l;
    const QString id = l.plugged(controller(QStringLiteral("q")));
    l.transport.addFault(id, {Fault::Kind::Unplug, 1, 1});
    bool ran = false;
    bool firstAnswered = true;
    bool laterAnswered = true;
    link::OpStatus reason = link::OpStatus::Done;
    bool cancelled = false;
    QElapsedTimer t;
    t.start();
    l.dm.runOperation([&](link::OperationContext &ctx) {
        ran = true;
        ctx.send(protocol::readConfigPage(1));
        firstAnswered = ctx.waitReply(5000);
        ctx.send(protocol::readConfigPage(2));
        laterAnswered = ctx.waitReply(5000);
        ctx.pause(5000);
        cancelled = ctx.cancelled();
        reason = ctx.cancelReason();
    });
    EXPECT_TRUE(ran);
    EXPECT_LT(t.elapsed(), 2500); // not 5 s per wait and pause
    EXPECT_FALSE(firstAnswered);
    EXPECT_FALSE(laterAnswered);
    EXPECT_TRUE(cancelled);
    EXPECT_EQ(reason, link::OpStatus::Disconnected);
    EXPECT_EQ(l.requestsWithCode(id, 1), 1);

    // The next operation after a replug is not cancelled by the old removal.
    l.transport.plug(id);
    ASSERT_TRUE(test::waitUntil([&] { return l.dm.hasDevice(); }, 2000));
    bool answered = false;
    l.dm.runOperation([&](link::OperationContext &ctx) {
        ctx.send(protocol::readClock());
        answered = ctx.waitReply(1000) && !ctx.cancelled();
    });
    EXPECT_TRUE(answered);
}

// ---- pauses -------------------------------------------------------------------------------

TEST(DataModulePause, NeverReturnsBeforeItsTime)
{
    Link l;
    // Coarse timers fire up to 5 % early; a pause is a lower bound (the rest before the
    // identity request), so every run counts.
    for (const int ms : {1000, 1000, 200, 200, 200, 200, 200}) {
        QElapsedTimer t;
        t.start();
        l.dm.runOperation([&](link::OperationContext &ctx) { ctx.pause(ms); });
        EXPECT_GE(t.elapsed(), ms);
    }
}

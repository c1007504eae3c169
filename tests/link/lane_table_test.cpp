// The data module's lanes: which runs when, in every state the link can be in, and what
// becomes of queued work when its controller goes or a newer one takes its place.
#include "link/data_module.h"
#include "link/protocol.h"
#include "support/sim_controller.h"
#include "support/test_support.h"

#include <QTimer>

#include <gtest/gtest.h>

using namespace vardex;
namespace protocol = link::protocol;
using State = link::DataModule::LinkState;
using Lane = link::DataModule::Lane;

namespace {

enum class Seen { Now, Later, Refused, Never };

struct LaneCase {
    State state;
    std::array<Seen, 4> lanes; // Operation, BetweenSteps, Priority, Tick
};

// What the engineer and the timers get in each state.
const LaneCase kLaneCases[] = {
    {State::Idle, {Seen::Now, Seen::Now, Seen::Now, Seen::Now}},
    {State::Operation, {Seen::Later, Seen::Later, Seen::Later, Seen::Never}},
    {State::Sequence, {Seen::Refused, Seen::Later, Seen::Later, Seen::Later}},
    {State::Pause, {Seen::Refused, Seen::Now, Seen::Now, Seen::Now}},
    {State::Nested, {Seen::Refused, Seen::Later, Seen::Later, Seen::Later}},
    {State::Closing, {Seen::Never, Seen::Never, Seen::Later, Seen::Never}},
};

struct LaneRig : test::SimController {
    LaneRig() { plug(); }

    // Puts op on lane while the link is in state, then lets the running work end.
    // Returns what became of op.
    Seen submitIn(State state, Lane lane, State *seenState)
    {
        bool ran = false;
        bool refused = false;
        const auto c =
            QObject::connect(&dm, &link::DataModule::operationRefused, [&] { refused = true; });
        const link::DataModule::Operation op = [&](link::OperationContext &) { ran = true; };
        bool ranAtOnce = false;
        const auto submit = [&] {
            *seenState = dm.linkState();
            switch (lane) {
            case Lane::Operation:
                dm.runOperation(op);
                break;
            case Lane::BetweenSteps:
                dm.runBetweenSteps(op);
                break;
            case Lane::Priority:
                dm.runPriority(op);
                break;
            case Lane::Tick:
                dm.runTick(this, op);
                break;
            }
            ranAtOnce = ran;
        };
        switch (state) {
        case State::Idle:
            submit();
            break;
        case State::Operation:
            dm.runOperation([&](link::OperationContext &ctx) {
                QTimer::singleShot(0, submit);
                ctx.pause(40);
            });
            break;
        case State::Sequence:
            dm.runOperation([&](link::OperationContext &ctx) {
                ctx.yieldLink();
                QTimer::singleShot(0, submit);
                ctx.pause(40);
                ctx.yieldLink();
            });
            break;
        case State::Pause:
            dm.runOperation([&](link::OperationContext &ctx) {
                QTimer::singleShot(0, submit);
                ctx.pauseYielding(40);
            });
            break;
        case State::Nested:
            dm.runOperation([&](link::OperationContext &ctx) {
                QTimer::singleShot(0, [&] {
                    dm.runPriority([&](link::OperationContext &inner) {
                        QTimer::singleShot(0, submit);
                        inner.pause(40);
                    });
                });
                ctx.pauseYielding(80);
                ctx.yieldLink();
            });
            break;
        case State::Closing:
            dm.runOperation([&](link::OperationContext &ctx) {
                QTimer::singleShot(0, [&] {
                    dm.beginClosing(2000);
                    submit();
                });
                ctx.pause(1000); // cut short by the closing
            });
            break;
        default:
            ADD_FAILURE() << "no driver for this state";
        }
        test::waitUntil([&] { return !dm.isBusy(); }, 3000);
        QObject::disconnect(c);
        if (refused)
            return ran ? Seen::Later : Seen::Refused;
        if (ranAtOnce)
            return Seen::Now;
        return ran ? Seen::Later : Seen::Never;
    }
};

const char *laneName(Lane lane)
{
    switch (lane) {
    case Lane::Operation:
        return "Operation";
    case Lane::BetweenSteps:
        return "BetweenSteps";
    case Lane::Priority:
        return "Priority";
    case Lane::Tick:
        return "Tick";
    }
    return "?";
}

class LaneTable : public ::testing::TestWithParam<LaneCase> {};

TEST_P(LaneTable, EachLaneRunsWhenItsStateAllows)
{
    const LaneCase &c = GetParam();
    for (Lane lane : {Lane::Operation, Lane::BetweenSteps, Lane::Priority, Lane::Tick}) {
        LaneRig r;
        State seen = State::ShutDown;
        const Seen got = r.submitIn(c.state, lane, &seen);
        EXPECT_EQ(seen, c.state) << laneName(lane) << ": the driver missed the state";
        EXPECT_EQ(got, c.lanes[static_cast<std::size_t>(lane)]) << laneName(lane);
    }
}

std::string stateName(const ::testing::TestParamInfo<LaneCase> &info)
{
    static const char *names[] = {"Idle",    "Operation", "Sequence", "Pause",   "Nested",
                                  "Leaving", "Closing",   "Closed",   "ShutDown"};
    return names[static_cast<int>(info.param.state)];
}

INSTANTIATE_TEST_SUITE_P(States, LaneTable, ::testing::ValuesIn(kLaneCases), stateName);

// ---- a controller that goes ------------------------------------------------------------------

struct TwoControllers : test::SimController {
    QString second;
    QStringList events; // connection changes, leaving notices and dropped names in order

    TwoControllers()
    {
        plug();
        sim::SimDeviceOptions options;
        options.realTime = false;
        options.firmware = sim::fullControllerFirmware24();
        second = transport.addDevice(std::move(options));
        QObject::connect(&dm, &link::DataModule::connectionChanged, [this](bool c) {
            events << (c ? QStringLiteral("connected") : QStringLiteral("disconnected"));
        });
        QObject::connect(&dm, &link::DataModule::controllerLeaving,
                         [this](const link::HidDeviceInfo &info) {
                             events << QStringLiteral("leaving ") + info.id;
                         });
        QObject::connect(&dm, &link::DataModule::operationsDropped,
                         [this](const QStringList &names, bool replaced) {
                             events << QStringLiteral("%1: %2").arg(
                                 replaced ? QStringLiteral("replaced") : QStringLiteral("gone"),
                                 names.join(QStringLiteral(", ")));
                         });
    }

    int receivedBy(const QString &device, int code) const
    {
        int n = 0;
        for (const link::Payload &p : transport.receivedRequests(device))
            n += p[link::pos::Code] == code;
        return n;
    }
};

// Queued behind an operation without steps: a named write, a named short action and a
// priority switch-off; each records whether it could send.
struct QueuedBehind {
    bool writeRan = false, writeCancelled = false;
    bool shortRan = false, shortCancelled = false;
    bool priorityHadDevice = false;

    void queue(link::DataModule &dm)
    {
        dm.runOperation(QStringLiteral("Запись часов"), [this](link::OperationContext &ctx) {
            writeRan = true;
            writeCancelled = ctx.cancelled();
            ctx.send(protocol::writeClock(26, 1, 1, 0, 0, 0));
            ctx.waitReply(200);
        });
        dm.runBetweenSteps(QStringLiteral("Чтение часов"), [this](link::OperationContext &ctx) {
            shortRan = true;
            shortCancelled = ctx.cancelled();
            ctx.send(protocol::readClock());
        });
        dm.runPriority([this](link::OperationContext &ctx) {
            priorityHadDevice = ctx.hasDevice() && !ctx.cancelled();
            ctx.send(protocol::writeOutputTask(link::OutputTask{}));
            ctx.waitReply(200);
        });
    }
};

TEST(ControllerLeaving, WhatWasQueuedForTheFirstNeverReachesTheOneThatReplacedIt)
{
    TwoControllers r;
    QueuedBehind q;
    bool leavingSwitchOffAnswered = false;
    QObject::connect(&r.dm, &link::DataModule::controllerLeaving, [&] {
        // What the first controller is owed goes to it at once, answered.
        r.dm.runPriority([&](link::OperationContext &ctx) {
            ctx.send(protocol::readState(0));
            leavingSwitchOffAnswered = ctx.waitReply(500);
        });
    });
    r.dm.runOperation([&](link::OperationContext &ctx) {
        q.queue(r.dm);
        QTimer::singleShot(0, [&] { r.transport.plug(r.second); });
        ctx.pause(2000); // ended by the replacement
        EXPECT_TRUE(ctx.cancelled());
    });
    ASSERT_TRUE(test::waitUntil([&] { return !r.dm.isBusy(); }, 3000));
    EXPECT_EQ(r.dm.currentDevice().id, r.second);

    EXPECT_TRUE(q.priorityHadDevice) << "the held switch-off was meant for the first controller";
    EXPECT_EQ(r.receivedBy(r.id, protocol::code::OutputTask), 1);
    EXPECT_TRUE(leavingSwitchOffAnswered);
    // The queued ones ran (their pages unwind) but could send nothing anywhere.
    EXPECT_TRUE(q.writeRan && q.writeCancelled);
    EXPECT_TRUE(q.shortRan && q.shortCancelled);
    for (const QString &device : {r.id, r.second}) {
        EXPECT_EQ(r.receivedBy(device, protocol::code::WriteClock), 0);
        EXPECT_EQ(r.receivedBy(device, protocol::code::Clock), 0);
    }
    EXPECT_TRUE(r.transport.receivedRequests(r.second).empty());
    EXPECT_EQ(r.events, (QStringList{QStringLiteral("leaving ") + r.id,
                                     QStringLiteral("disconnected"), QStringLiteral("connected"),
                                     QStringLiteral("replaced: Чтение часов, Запись часов")}));

    // The newer controller works as any other.
    bool answered = false;
    r.dm.runOperation([&](link::OperationContext &ctx) {
        ctx.send(protocol::readClock());
        answered = ctx.waitReply(500);
    });
    EXPECT_TRUE(answered);
    EXPECT_EQ(r.receivedBy(r.second, protocol::code::Clock), 1);
}

TEST(ControllerLeaving, AnUnplugCancelsWhatWasQueuedAndNamesIt)
{
    TwoControllers r;
    QueuedBehind q;
    r.dm.runOperation([&](link::OperationContext &ctx) {
        q.queue(r.dm);
        QTimer::singleShot(0, [&] { r.transport.unplug(r.id); });
        ctx.pause(2000);
    });
    ASSERT_TRUE(test::waitUntil([&] { return !r.dm.isBusy(); }, 3000));
    EXPECT_FALSE(r.dm.hasDevice());
    EXPECT_FALSE(q.priorityHadDevice);
    EXPECT_TRUE(q.writeRan && q.writeCancelled);
    EXPECT_TRUE(q.shortRan && q.shortCancelled);
    EXPECT_EQ(r.events, (QStringList{QStringLiteral("disconnected"),
                                     QStringLiteral("gone: Чтение часов, Запись часов")}));

    // Plugged back, work for it is its own again: nothing is dropped.
    r.transport.plug(r.id);
    ASSERT_TRUE(test::waitUntil([&] { return r.dm.hasDevice(); }));
    r.events.clear();
    bool ran = false;
    r.dm.runOperation([&](link::OperationContext &ctx) {
        r.dm.runOperation(QStringLiteral("Чтение часов"),
                          [&](link::OperationContext &c) { ran = !c.cancelled(); });
        ctx.pause(20);
    });
    EXPECT_TRUE(ran);
    EXPECT_TRUE(r.events.isEmpty()) << r.events.join(" | ").toStdString();
}

} // namespace

// Step chaining and the priority lane of the data module: what waits for the link runs at
// the running sequence's step boundaries, the priority lane first, and nothing
// interleaves with an exchange.
#include "link/data_module.h"
#include "link/protocol.h"
#include "support/sim_controller.h"
#include "support/test_support.h"

#include <QTimer>

#include <gtest/gtest.h>

using namespace vardex;
namespace protocol = link::protocol;
using Outcome = link::DataModule::TickOutcome;

namespace {

// Requests told apart on the wire by code and Sub.
const link::Payload kA = protocol::readClock();
const link::Payload kB = protocol::readState(0);
const link::Payload kC = protocol::readState(1);
const link::Payload kP = protocol::writeOutputTask(link::OutputTask{});

QString nameOf(const link::Payload &p)
{
    if (p == kA)
        return QStringLiteral("A");
    if (p == kB)
        return QStringLiteral("B");
    if (p == kC)
        return QStringLiteral("C");
    if (p == kP)
        return QStringLiteral("P");
    return QStringLiteral("?");
}

struct ChainRig : test::SimController {
    QStringList wire; // requests in the order they went out

    ChainRig()
    {
        plug();
        dm.setTraceSink([this](const link::TraceEntry &e) {
            if (e.direction == link::TraceEntry::Direction::Sent)
                wire << nameOf(e.payload);
        });
    }
    static void exchange(link::OperationContext &ctx, const link::Payload &request)
    {
        ctx.send(request);
        ctx.waitReply(500);
    }
    // A sequence of two steps, A then B, with the given boundary between them; during
    // A's wait, at() runs (a click, a tick, the watchdog).
    void twoSteps(const std::function<void(link::OperationContext &)> &boundary,
                  const std::function<void()> &duringFirstWait)
    {
        dm.runOperation([&](link::OperationContext &ctx) {
            QTimer::singleShot(0, duringFirstWait);
            ctx.send(kA);
            ctx.waitReply(500);
            test::spin(20); // the call above has happened while the step held the link
            boundary(ctx);
            exchange(ctx, kB);
        });
    }
};

void yieldAt(link::OperationContext &ctx)
{
    ctx.yieldLink();
}
void noBoundary(link::OperationContext &) {}

} // namespace

// What waits while a step holds the link, and where it goes out.
struct WaitingCase {
    const char *name;
    bool yields;      // the sequence has a step boundary between A and B
    bool priority;    // the waiting work is a priority operation (else a click)
    const char *wire; // requests in the order they went out
};

class StepChainWaiting : public ::testing::TestWithParam<WaitingCase> {};

TEST_P(StepChainWaiting, RunsAtTheNextBoundaryOrAfterTheSequence)
{
    const WaitingCase &c = GetParam();
    ChainRig r;
    r.twoSteps(c.yields ? yieldAt : noBoundary, [&] {
        if (c.priority)
            r.dm.runPriority([](link::OperationContext &ctx) { ctx.send(kP); });
        else
            r.dm.runBetweenSteps([](link::OperationContext &ctx) { ChainRig::exchange(ctx, kC); });
    });
    EXPECT_EQ(r.wire.join(QString()), QString::fromLatin1(c.wire));
}

TEST(StepChainWaiting, AnOrdinaryQueuedOperationNeverRunsInsideAnother)
{
    // Two long sequences would interleave their transfers (a write of all loops between
    // two loops of a read): an operation queued with runOperation waits for the end.
    ChainRig r;
    r.twoSteps(yieldAt, [&] {
        r.dm.runOperation([](link::OperationContext &ctx) { ChainRig::exchange(ctx, kC); });
    });
    EXPECT_EQ(r.wire.join(QString()), QStringLiteral("ABC"));
}

TEST(StepChainWaiting, AnOrdinaryOperationAskedForOnceTheSequenceYieldedIsRefusedAtOnce)
{
    // Queued, it would fire when the long sequence ends, seconds or minutes later.
    ChainRig r;
    int refusals = 0;
    QObject::connect(&r.dm, &link::DataModule::operationRefused, [&] { ++refusals; });
    bool taken = true;
    r.dm.runOperation([&](link::OperationContext &ctx) {
        ChainRig::exchange(ctx, kA);
        ctx.yieldLink();
        QTimer::singleShot(0, [&] {
            taken = r.dm.runOperation([](link::OperationContext &c) { ChainRig::exchange(c, kC); });
        });
        ChainRig::exchange(ctx, kB);
    });
    EXPECT_FALSE(taken);
    EXPECT_EQ(refusals, 1);
    EXPECT_EQ(r.wire.join(QString()), QStringLiteral("AB"));
    // With the sequence over, the same action runs.
    EXPECT_TRUE(r.dm.runOperation([](link::OperationContext &c) { ChainRig::exchange(c, kC); }));
    EXPECT_EQ(r.wire.join(QString()), QStringLiteral("ABC"));
}

INSTANTIATE_TEST_SUITE_P(Table, StepChainWaiting,
                         ::testing::Values(WaitingCase{"ClickAtTheBoundary", true, false, "ACB"},
                                           WaitingCase{"PriorityAtTheBoundary", true, true, "APB"},
                                           WaitingCase{"ClickAfterAPlainOne", false, false, "ABC"},
                                           WaitingCase{"PriorityAfterAPlainOne", false, true,
                                                       "ABP"}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(StepChainPriority, GoesAheadOfOrdinaryQueuedWorkInCallOrder)
{
    ChainRig r;
    r.twoSteps(noBoundary, [&] {
        r.dm.runOperation([](link::OperationContext &ctx) { ChainRig::exchange(ctx, kC); });
        r.dm.runPriority([](link::OperationContext &ctx) { ctx.send(kP); });
        r.dm.runPriority([](link::OperationContext &ctx) { ctx.send(kP); });
    });
    EXPECT_EQ(r.wire.join(QString()), QStringLiteral("ABPPC"));
}

TEST(StepChainTicks, DeferredToTheNextStepOnceAndSkippedBehindAPlainOperation)
{
    ChainRig r;
    std::vector<Outcome> outcomes;
    int ran = 0;
    auto tick = [&] {
        outcomes.push_back(r.dm.runTick(&r, [&](link::OperationContext &ctx) {
            ++ran;
            ChainRig::exchange(ctx, kC);
        }));
    };
    // A sequence that has yielded once: two ticks during its next step become one run
    // at the boundary after it.
    r.dm.runOperation([&](link::OperationContext &ctx) {
        ChainRig::exchange(ctx, kA);
        ctx.yieldLink();
        QTimer::singleShot(0, tick);
        QTimer::singleShot(0, tick);
        ctx.send(kB);
        ctx.waitReply(500);
        test::spin(20);
        ctx.yieldLink();
        ChainRig::exchange(ctx, kA);
    });
    EXPECT_EQ(outcomes, (std::vector<Outcome>{Outcome::Deferred, Outcome::Deferred}));
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(r.wire.join(QString()), QStringLiteral("ABCA"));

    // Behind an operation that never yields, a tick is dropped as before.
    outcomes.clear();
    r.twoSteps(noBoundary, tick);
    EXPECT_EQ(outcomes, (std::vector<Outcome>{Outcome::Skipped}));
    EXPECT_EQ(ran, 1);
    // With the link free, it runs at once.
    tick();
    EXPECT_EQ(outcomes.back(), Outcome::Ran);
    EXPECT_EQ(ran, 2);
}

TEST(StepChainPause, WhatAsksForTheLinkDuringAYieldingPauseRunsAtOnce)
{
    ChainRig r;
    bool idleRan = false;
    Outcome tickOutcome = Outcome::Skipped;
    r.dm.runOperation([&](link::OperationContext &ctx) {
        ChainRig::exchange(ctx, kA);
        QTimer::singleShot(20, [&] {
            idleRan = r.dm.runTick(&idleRan, [](link::OperationContext &c) {
                ChainRig::exchange(c, kC);
            }) == Outcome::Ran;
            tickOutcome = r.dm.runTick(&r, [](link::OperationContext &c) { c.send(kP); });
        });
        ctx.pauseYielding(200);
        ChainRig::exchange(ctx, kB);
    });
    EXPECT_TRUE(idleRan);
    EXPECT_EQ(tickOutcome, Outcome::Ran);
    EXPECT_EQ(r.wire.join(QString()), QStringLiteral("ACPB"));
}

TEST(StepChainNested, TheOtherOperationNeitherInheritsAStopNorLeavesItsReplyBehind)
{
    ChainRig r;
    bool nestedSawStop = true;
    link::Payload before{}, after{};
    r.dm.runOperation([&](link::OperationContext &ctx) {
        ChainRig::exchange(ctx, kA);
        before = ctx.lastReply();
        r.dm.runBetweenSteps([&](link::OperationContext &c) {
            nestedSawStop = c.cancelled();
            ChainRig::exchange(c, kB);
        });
        r.dm.cancel(); // the engineer stops the sequence; the click still runs
        ctx.yieldLink();
        after = ctx.lastReply();
        EXPECT_TRUE(ctx.cancelled());
    });
    EXPECT_FALSE(nestedSawStop);
    EXPECT_EQ(before, after);
    EXPECT_EQ(r.wire.join(QString()), QStringLiteral("AB"));
}

TEST(StepChainNested, AnUnplugDuringTheOtherOperationEndsTheSequenceToo)
{
    ChainRig r;
    link::OpStatus reason = link::OpStatus::Done;
    r.dm.runOperation([&](link::OperationContext &ctx) {
        ChainRig::exchange(ctx, kA);
        r.dm.runBetweenSteps([&](link::OperationContext &c) {
            c.send(kB);
            r.transport.unplug(r.id);
            c.waitReply(500);
        });
        ctx.yieldLink();
        reason = ctx.cancelled() ? ctx.cancelReason() : link::OpStatus::Done;
    });
    EXPECT_EQ(reason, link::OpStatus::Disconnected);
}

TEST(StepChainClosing, CancelsTheRunningOperationDropsClicksAndStillSendsThePriorityLane)
{
    ChainRig r;
    bool waitCut = false;
    r.dm.runOperation([&](link::OperationContext &ctx) {
        QTimer::singleShot(10, [&] {
            r.dm.runOperation([](link::OperationContext &c) { ChainRig::exchange(c, kC); });
            r.dm.runPriority([](link::OperationContext &c) { c.send(kP); });
            r.dm.beginClosing(2000);
        });
        sim::Fault drop; // the answer never comes
        drop.code = kA[link::pos::Code];
        r.transport.addFault(r.id, drop);
        ctx.send(kA);
        waitCut = !ctx.waitReply(5000);
        ctx.send(kB); // cancelled: not sent
    });
    EXPECT_TRUE(waitCut);
    EXPECT_TRUE(r.dm.isClosing());
    EXPECT_EQ(r.wire.join(QString()), QStringLiteral("AP"));
    EXPECT_FALSE(r.dm.isBusy());
}

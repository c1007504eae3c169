#include "link/protocol.h"
#include "loops/loop_transfer.h"
#include "support/sim_controller.h"

#include <gtest/gtest.h>

using namespace vardex;
using sim::Fault;

namespace {

// Cancels the running operation when the request with this code and Sub goes out,
// as a stop button pressed during that exchange would.
void cancelAtRequest(test::SimController &c, int code, int sub)
{
    c.dm.setTraceSink([&c, code, sub](const link::TraceEntry &e) {
        if (e.direction == link::TraceEntry::Direction::Sent &&
            e.payload[link::pos::Code] == code && e.payload[link::pos::Sub] == sub)
            c.dm.cancel();
    });
}

} // namespace

TEST(LoopTransfer, StopDuringReadAllSendsNothingMoreAndSaysWhere)
{
    test::SimController c;
    ASSERT_TRUE(c.plug());
    cancelAtRequest(c, 6, 5); // loop 5's main record
    std::vector<std::pair<bool, int>> progress;
    QObject::connect(&c.dm, &link::DataModule::progressVisibilityChanged,
                     [&](bool visible, int maximum) {
                         progress.push_back({visible, maximum});
                     });
    link::OpResult result;
    c.dm.runOperation([&](link::OperationContext &ctx) { result = loops::readAllLoops(ctx); });

    EXPECT_EQ(result.status, link::OpStatus::Cancelled);
    EXPECT_EQ(result.step, 5);
    EXPECT_EQ(c.requestCount(6), 9); // both records of loops 1..4, loop 5's main one
    EXPECT_EQ(c.requestCount(6, 6), 0);
    // The bar came and went, sized by the loop count.
    ASSERT_EQ(progress.size(), 2u);
    EXPECT_EQ(progress.front(), std::make_pair(true, link::kLoopCount));
    EXPECT_FALSE(progress.back().first);

    // The stop ended that operation only: the next one runs in full.
    c.dm.setTraceSink({});
    c.dm.runOperation([&](link::OperationContext &ctx) { result = loops::readAllLoops(ctx); });
    EXPECT_TRUE(result.ok());
    EXPECT_EQ(c.requestCount(6), 9 + 52);
}

TEST(LoopTransfer, ReadAllStoppingAtAMissNamesTheLoopAndAsksNoFurther)
{
    test::SimController c;
    ASSERT_TRUE(c.plug());
    c.transport.addFault(c.id, Fault{Fault::Kind::Drop, 6, 3});
    loops::ReadAllOptions options;
    options.timeoutMs = 100;
    options.stopAtMiss = true;
    options.showProgress = false;
    link::OpResult result;
    c.dm.runOperation(
        [&](link::OperationContext &ctx) { result = loops::readAllLoops(ctx, options); });
    EXPECT_EQ(result.status, link::OpStatus::NoReply);
    EXPECT_EQ(result.step, 3);
    EXPECT_EQ(c.requestCount(6), 5); // loops 1 and 2, loop 3's main record only
}

TEST(LoopTransfer, ReadAllWithoutStoppingGoesPastAMiss)
{
    test::SimController c;
    ASSERT_TRUE(c.plug());
    c.transport.addFault(c.id, Fault{Fault::Kind::Drop, 6, 3});
    link::OpResult result;
    c.dm.runOperation([&](link::OperationContext &ctx) { result = loops::readAllLoops(ctx); });
    EXPECT_TRUE(result.ok());
    EXPECT_EQ(c.requestCount(6), 52);
}

TEST(LoopTransfer, StopDuringWriteLoopSendsNoExtendedRecord)
{
    test::SimController c;
    ASSERT_TRUE(c.plug());
    // Stopped while the read-back is on its way.
    c.dm.setTraceSink([&c](const link::TraceEntry &e) {
        if (e.direction == link::TraceEntry::Direction::Sent &&
            e.payload[link::pos::Code] == link::protocol::code::MemoryRead)
            c.dm.cancel();
    });
    loops::WriteOutcome outcome = loops::WriteOutcome::Written;
    c.dm.runOperation([&](link::OperationContext &ctx) { outcome = loops::writeLoop(ctx, 4); });
    EXPECT_EQ(outcome, loops::WriteOutcome::Stopped);
    // The main record and its read-back went out; the extended record did not.
    EXPECT_EQ(c.requestCount(7), 1);
    EXPECT_EQ(c.requestCount(link::protocol::code::MemoryRead), 1);
}

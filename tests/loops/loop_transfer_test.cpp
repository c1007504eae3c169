#include "link/protocol.h"
#include "loops/loop_diff.h"
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

// The read-back of a write of all loops is a chain of steps, one loop each: a click that
// comes during it runs at the next loop, not after the last, and finds the loops the
// engineer prepared in the image (the read-back keeps its copy aside), while the check
// still compares what the controller holds.
TEST(LoopTransfer, AClickDuringTheReadBackRunsAtTheNextLoopAndSeesThePreparedLoops)
{
    test::SimController c;
    ASSERT_TRUE(c.plug());
    c.dm.runOperation([](link::OperationContext &ctx) { loops::readAllLoops(ctx); });
    for (int n : {2, 9})
        c.image().loop(n).contactUse = static_cast<std::uint8_t>(0x30 + n);
    const link::DeviceImage prepared = c.image();
    ASSERT_FALSE(loops::differingLoops(prepared, link::DeviceImage{}, true).empty());

    const int readsBefore = c.requestCount(link::protocol::code::Loop);
    int readsAtClick = -1;
    std::vector<int> differingAtClick{-1};
    bool clicked = false;
    c.dm.setTraceSink([&](const link::TraceEntry &e) {
        if (clicked || e.direction != link::TraceEntry::Direction::Sent ||
            e.payload[link::pos::Code] != link::protocol::code::Loop)
            return;
        clicked = true;
        c.dm.runBetweenSteps([&](link::OperationContext &ctx) {
            readsAtClick = c.requestCount(link::protocol::code::Loop) - readsBefore;
            differingAtClick = loops::differingLoops(ctx.image(), prepared, true);
            ctx.send(link::protocol::readClock());
            ctx.waitReply(500);
        });
    });
    link::WriteCheck check;
    c.dm.runOperation(
        [&](link::OperationContext &ctx) { check = loops::writeAllLoopsChecked(ctx); });

    EXPECT_TRUE(check.result.ok());
    EXPECT_TRUE(check.differing.empty());
    EXPECT_EQ(readsAtClick, 2); // loop 1's two records, then the click
    EXPECT_TRUE(differingAtClick.empty());
    EXPECT_TRUE(loops::differingLoops(c.image(), prepared, true).empty());
    EXPECT_EQ(c.requestCount(link::protocol::code::Loop) - readsBefore, 2 * link::kLoopCount);
    EXPECT_EQ(c.requestCount(link::protocol::code::Clock), 1);
}

// What the controller holds is compared, not what the image holds between the steps: a
// loop the controller came to hold differently is named, and the image keeps what the
// engineer prepared.
TEST(LoopTransfer, TheReadBackNamesALoopTheControllerHoldsDifferently)
{
    test::SimController c;
    ASSERT_TRUE(c.plug());
    c.dm.runOperation([](link::OperationContext &ctx) { loops::readAllLoops(ctx); });
    c.image().loop(5).contactUse = 0x41;
    const link::DeviceImage prepared = c.image();
    // Once the writes are done, the controller's loop 5 changes behind the program's back.
    bool altered = false;
    c.dm.setTraceSink([&](const link::TraceEntry &e) {
        if (altered || e.direction != link::TraceEntry::Direction::Sent ||
            e.payload[link::pos::Code] != link::protocol::code::Loop)
            return;
        altered = true;
        link::UprLoopConfig other = prepared.loop(5);
        other.contactUse = 0x42;
        c.transport.withFirmware(
            c.id, [&](sim::Firmware &fw) { fw.handle(link::protocol::writeLoop(5, other)); });
    });
    link::WriteCheck check;
    c.dm.runOperation(
        [&](link::OperationContext &ctx) { check = loops::writeAllLoopsChecked(ctx); });

    ASSERT_TRUE(altered);
    EXPECT_TRUE(check.result.ok());
    EXPECT_EQ(check.differing, std::vector<int>{5});
    EXPECT_TRUE(loops::differingLoops(c.image(), prepared, true).empty());
}

// An edit the engineer commits while loop 9 is being read back (the reply awaited, the
// window live) stays in the image: the read lands beside it. The check is about what went
// out, and the line says the edit itself was not written.
TEST(LoopTransfer, AnEditDuringTheReadBackStaysAndTheLineSaysItWasNotWritten)
{
    test::SimController c;
    ASSERT_TRUE(c.plug());
    c.dm.runOperation([](link::OperationContext &ctx) { loops::readAllLoops(ctx); });
    c.image().loop(9).contactUse = 0x21;
    bool edited = false;
    c.dm.setTraceSink([&](const link::TraceEntry &e) {
        if (!edited && e.direction == link::TraceEntry::Direction::Sent &&
            e.payload[link::pos::Code] == link::protocol::code::Loop &&
            e.payload[link::pos::Sub] == 9) {
            edited = true;
            c.image().loop(9).contactUse = 0x22;
            c.image().loopExt(9).dimmer = 7;
        }
    });
    link::WriteCheck check;
    c.dm.runOperation(
        [&](link::OperationContext &ctx) { check = loops::writeAllLoopsChecked(ctx); });

    ASSERT_TRUE(edited);
    EXPECT_TRUE(check.verified());
    EXPECT_TRUE(check.editedMeanwhile);
    EXPECT_EQ(link::writeCheckText(check, QStringLiteral("контуры")),
              QStringLiteral("записано и проверено; правки, сделанные во время записи, не "
                             "записаны"));
    EXPECT_EQ(c.image().loop(9).contactUse, 0x22);
    EXPECT_EQ(c.image().loopExt(9).dimmer, 7);
    EXPECT_EQ(c.received(link::protocol::code::WriteLoop, 0).at(8)[6], 0x21);
}

// A record the controller refuses or never acknowledges is not written, even when the
// read-back finds it the same (the controller held it already); a loop whose read-back
// does not come leaves the image as it was.
struct RefusalCase {
    const char *what;
    Fault fault;
    bool all; // write all loops, else loop 6 alone
    std::vector<int> notWritten;
    const char *line;
};

class LoopRefusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(LoopRefusal, TheLineSaysWhatWasNotWritten)
{
    const RefusalCase &rc = GetParam();
    test::SimController c;
    ASSERT_TRUE(c.plug());
    c.dm.runOperation([](link::OperationContext &ctx) { loops::readAllLoops(ctx); });
    const link::DeviceImage before = c.image();
    c.transport.addFault(c.id, rc.fault);
    link::WriteCheck check;
    c.dm.runOperation([&](link::OperationContext &ctx) {
        check = rc.all ? loops::writeAllLoopsChecked(ctx) : loops::writeLoopChecked(ctx, 6);
    });
    EXPECT_TRUE(check.differing.empty()); // a refusal is said once, as not written
    EXPECT_EQ(check.notWritten, rc.notWritten);
    EXPECT_EQ(link::writeCheckText(check, QStringLiteral("контуры")), QString::fromUtf8(rc.line));
    EXPECT_TRUE(loops::differingLoops(c.image(), before, true).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Acknowledgements, LoopRefusal,
    ::testing::Values(RefusalCase{"ack_lost",
                                  Fault{Fault::Kind::Drop, link::protocol::code::WriteLoop, 6},
                                  false,
                                  {6},
                                  "не записано: контуры 6"},
                      RefusalCase{
                          "refused_in_write_all",
                          Fault{Fault::Kind::ErrorReply, link::protocol::code::WriteLoop, 6},
                          true,
                          {6},
                          "не записано: контуры 6"},
                      RefusalCase{"read_back_lost",
                                  Fault{Fault::Kind::Drop, link::protocol::code::Loop, 6},
                                  false,
                                  {},
                                  "записано, но не проверено: контур 6 не прочитан обратно"}),
    [](const auto &info) { return std::string(info.param.what); });

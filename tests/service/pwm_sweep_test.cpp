#include "link/protocol.h"
#include "service/pwm_sweep.h"
#include "support/recording_context.h"

#include <gtest/gtest.h>

#include <vector>

using vardex::service::PwmSweep;
using vardex::service::runSweepTick;
using vardex::test::RecordingContext;

namespace {

std::vector<int> ticks(PwmSweep &sweep, int n)
{
    std::vector<int> levels;
    for (int i = 0; i < n; ++i)
        levels.push_back(sweep.tick());
    return levels;
}

} // namespace

TEST(PwmSweep, FirstTickFromStartTurnsAtZeroAndClimbs)
{
    PwmSweep sweep;
    EXPECT_EQ(ticks(sweep, 4), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_TRUE(sweep.rising());
}

TEST(PwmSweep, TurnsOnTheMaximumAndFallsBackToTheMinimum)
{
    PwmSweep sweep;
    sweep.setMinimum(0);   // level 2
    sweep.setMaximum(128); // level 126, still falling
    while (!sweep.rising())
        sweep.tick();
    EXPECT_EQ(sweep.level(), 0);
    while (sweep.level() != 127)
        sweep.tick();
    ASSERT_TRUE(sweep.rising());
    EXPECT_EQ(sweep.tick(), 128);
    EXPECT_FALSE(sweep.rising());
    EXPECT_EQ(sweep.tick(), 127);
}

TEST(PwmSweep, LimitHandlersRestartTheLevelBesideTheLimit)
{
    PwmSweep sweep;
    sweep.setMaximum(32);
    EXPECT_EQ(sweep.level(), 30);
    sweep.setMinimum(10);
    EXPECT_EQ(sweep.level(), 12);
}

TEST(PwmSweep, IntervalIsOneRampOverTheStepCountInWholeMilliseconds)
{
    PwmSweep sweep;
    sweep.setMaximum(100);
    EXPECT_EQ(sweep.setRampSeconds(16), 125);
    EXPECT_EQ(sweep.level(), 1);
    sweep.setStepItem(0);
    EXPECT_EQ(sweep.stepCount(), 32);
    EXPECT_EQ(sweep.setRampSeconds(7), 218); // 7000 / 32 = 218.75
    sweep.setStepItem(1);
    EXPECT_EQ(sweep.stepCount(), 128);
}

// A maximum below minimum + 2 would put the level under the minimum and let it run
// down through 0 to 65535; the sweep keeps it within the maximum and two below.
TEST(PwmSweep, MaximumBelowMinimumPlusTwoKeepsTheLevelBetweenThem)
{
    for (auto [minimum, maximum] : {std::pair{100, 50}, std::pair{20, 21}, std::pair{10, 10}}) {
        PwmSweep sweep;
        sweep.setMinimum(minimum);
        sweep.setMaximum(maximum);
        EXPECT_EQ(sweep.floor(), maximum - 2);
        for (int i = 0; i < 300; ++i) {
            const int level = sweep.tick();
            ASSERT_GE(level, maximum - 2) << minimum << "/" << maximum << " tick " << i;
            ASSERT_LE(level, maximum) << minimum << "/" << maximum << " tick " << i;
        }
    }
}

TEST(PwmSweep, MinimumRaisedAboveTheLevelDoesNotWrap)
{
    PwmSweep sweep;       // level 1, falling
    sweep.setMinimum(90); // level 92
    sweep.setMaximum(91); // floor 89, level 89
    for (int i = 0; i < 20; ++i) {
        const int level = sweep.tick();
        ASSERT_GE(level, 89);
        ASSERT_LE(level, 91);
    }
}

TEST(SweepTick, WritesTheDimmerOfCheckedBoxesLoopsOnly)
{
    RecordingContext ctx;
    PwmSweep sweep;
    std::array<bool, 8> boxes{};
    boxes[4] = true; // box 5: loop 13
    runSweepTick(ctx, sweep, boxes, true);
    runSweepTick(ctx, sweep, boxes, true);
    ASSERT_EQ(ctx.sent.size(), 2u);
    EXPECT_EQ(ctx.sent[1], vardex::link::protocol::writeLoopExt(13, ctx.image().loopExt(13)));
    EXPECT_EQ(ctx.image().loopExt(13).dimmer, 1);
    EXPECT_EQ(ctx.waits, (std::vector<int>{500, 500}));
    for (int n = 1; n <= vardex::link::kLoopCount; ++n) {
        if (n != 13) {
            EXPECT_EQ(ctx.image().loopExt(n).dimmer, 0) << n;
        }
    }
}

TEST(SweepTick, WithoutAControllerMovesTheLevelButNeitherSendsNorWaits)
{
    RecordingContext ctx;
    ctx.device = false;
    PwmSweep sweep;
    std::array<bool, 8> boxes{};
    boxes.fill(true);
    runSweepTick(ctx, sweep, boxes, true);
    runSweepTick(ctx, sweep, boxes, true);
    EXPECT_EQ(sweep.level(), 1);
    EXPECT_TRUE(ctx.sent.empty());
    EXPECT_TRUE(ctx.waits.empty());
    EXPECT_EQ(ctx.image().loopExt(9).dimmer, 1); // the image follows all the same
}

TEST(SweepTick, TheDimmerIsTheLowByteOfTheLevel)
{
    RecordingContext ctx;
    PwmSweep sweep;
    sweep.setMaximum(128);
    while (sweep.level() != 127 || !sweep.rising())
        sweep.tick();
    std::array<bool, 8> boxes{};
    boxes[0] = true;
    runSweepTick(ctx, sweep, boxes, true);
    EXPECT_EQ(ctx.image().loopExt(9).dimmer, 128);
    ASSERT_EQ(ctx.sent.size(), 1u);
    EXPECT_EQ(ctx.sent[0][vardex::link::pos::Sub], 9);
    EXPECT_EQ(ctx.sent[0][13], 128); // payload position of the dimmer byte
}

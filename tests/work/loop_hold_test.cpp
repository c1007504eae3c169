#include "work/loop_hold.h"

#include <gtest/gtest.h>

using namespace vardex;
using work::OutputFamily;

namespace {

link::MonitorState withLoopOn(int loop)
{
    link::MonitorState s;
    const int flag = 32 + loop; // loop n is system flag 32 + n
    s.systemFlags[static_cast<std::size_t>((flag - 1) / 8)] |= 1u << ((flag - 1) % 8);
    return s;
}

} // namespace

TEST(LoopHold, EachOutputBelongsToTheLoopOfItsPlace)
{
    const struct {
        OutputFamily family;
        int tag, loop;
    } cases[] = {
        {OutputFamily::TtlOutput, 1, 1}, {OutputFamily::TtlOutput, 8, 8},
        {OutputFamily::Switch, 1, 9},    {OutputFamily::Switch, 4, 12}, // high-side
        {OutputFamily::Switch, 5, 13},   {OutputFamily::Switch, 8, 16}, // low-side
        {OutputFamily::Relay, 1, 17},    {OutputFamily::Relay, 6, 22},
        {OutputFamily::Relay, 7, 0},     {OutputFamily::TtlOutput, 0, 0},
        {OutputFamily::Switch, 9, 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(work::loopOfOutput(c.family, c.tag), c.loop) << c.tag;
}

TEST(LoopHold, HintOnlyWhenTheOutputIsOnAndItsLoopRuns)
{
    link::MonitorState s = withLoopOn(17);
    EXPECT_TRUE(work::heldByLoopHint(s, OutputFamily::Relay, 1).isEmpty()) << "relay 1 is off";
    s.relays = 0x01;
    EXPECT_EQ(work::heldByLoopHint(s, OutputFamily::Relay, 1), "включено контуром 17");
    EXPECT_TRUE(work::heldByLoopHint(s, OutputFamily::Relay, 2).isEmpty());
    // On, but by hand (its loop is off): nothing to explain.
    link::MonitorState manual;
    manual.relays = 0x01;
    EXPECT_TRUE(work::heldByLoopHint(manual, OutputFamily::Relay, 1).isEmpty());
    // Low-side switch 2 is bit 5 of the switch byte and loop 14.
    link::MonitorState low = withLoopOn(14);
    low.switches = 0x20;
    EXPECT_EQ(work::heldByLoopHint(low, OutputFamily::Switch, 6), "включено контуром 14");
    EXPECT_TRUE(work::heldByLoopHint(low, OutputFamily::Switch, 2).isEmpty());
}

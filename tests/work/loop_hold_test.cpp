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

TEST(LoopHold, ALoopNamingOtherOutputsHoldsThoseNotItsOwn)
{
    // Loop 3 (a TTL output's loop) drives relay 2 through its extended record.
    work::LoopExts exts{};
    exts[2].outputMask = 1u << 17;
    link::MonitorState s = withLoopOn(3);
    s.relays = 0x02;
    s.ttlOutputs = 0x04;
    EXPECT_EQ(work::holdingLoop(s, OutputFamily::Relay, 2, &exts), 3);
    EXPECT_EQ(work::heldByLoopHint(s, OutputFamily::Relay, 2, &exts), "включено контуром 3");
    EXPECT_EQ(work::holdingLoop(s, OutputFamily::TtlOutput, 3, &exts), 0)
        << "its own output is not driven by it: on by hand";
    // Without the records each loop drives its own output.
    EXPECT_EQ(work::holdingLoop(s, OutputFamily::Relay, 2), 0);
    EXPECT_EQ(work::holdingLoop(s, OutputFamily::TtlOutput, 3), 3);
}

// The manual task the state shows, from what the controller drives and the loop flags.
struct ManualCase {
    const char *name;
    std::uint8_t relaysOn; // state
    int loopRunning;       // 0: none
    std::uint8_t knownRelays;
    std::uint8_t wantRelays;
};

class LoopHoldManualTask : public ::testing::TestWithParam<ManualCase> {};

TEST_P(LoopHoldManualTask, KeepsHandSwitchedOutputsAndNeverCopiesALoopsOwn)
{
    const ManualCase &c = GetParam();
    link::MonitorState s = c.loopRunning ? withLoopOn(c.loopRunning) : link::MonitorState{};
    s.relays = c.relaysOn;
    s.switches = 0x11; // high-side 1 and low-side 1, by hand
    s.ttlOutputs = 0x80;
    link::OutputTask known;
    known.relaysTask = c.knownRelays;
    known.ttlOutputsTask = 0x01; // stale: the controller shows TTL 1 off
    const link::OutputTask t = work::manualTaskOfState(s, known);
    EXPECT_EQ(t.relaysTask, c.wantRelays);
    EXPECT_EQ(t.switchesTask, 0x11);
    EXPECT_EQ(t.ttlOutputsTask, 0x80);
}

INSTANTIATE_TEST_SUITE_P(
    Table, LoopHoldManualTask,
    ::testing::Values(
        // Relay 1 on, loop 17 (relay 1's) not running: switched by hand (another program).
        ManualCase{"OnByHand", 0x01, 0, 0x00, 0x01},
        // Relay 1 off: off in the task, whatever was known.
        ManualCase{"OffIsOff", 0x00, 0, 0x01, 0x00},
        // Relay 1 on while its loop runs: the state cannot tell; the known task decides.
        ManualCase{"LoopOnlyStaysOut", 0x01, 17, 0x00, 0x00},
        ManualCase{"LoopAndHandKeepsHand", 0x01, 17, 0x01, 0x01},
        // Another loop running changes nothing for relay 1.
        ManualCase{"OtherLoopRunning", 0x03, 18, 0x00, 0x01}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(LoopHold, AFanALoopDrivesKeepsTheKnownTask)
{
    link::MonitorState s = withLoopOn(24); // fan 2's loop
    s.fanTasks = {30, 100, 0, 55};
    link::OutputTask known;
    known.fanTask = {10, 20, 30, 40};
    const link::OutputTask t = work::manualTaskOfState(s, known);
    EXPECT_EQ(t.fanTask, (std::array<std::uint8_t, 4>{30, 20, 0, 55}));
}

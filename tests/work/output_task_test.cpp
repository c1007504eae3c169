#include "work/masks.h"
#include "work/output_task_edit.h"

#include <gtest/gtest.h>

using namespace vardex::work;
using vardex::link::OutputTask;

TEST(OutputTaskEdit, LowSwitchTagsAreTheUpperNibble)
{
    OutputTask task;
    ASSERT_TRUE(setOutputTaskBit(task, OutputFamily::Switch, lowSwitchItem(1), true));
    EXPECT_EQ(task.switchesTask, 0x10);
    ASSERT_TRUE(setOutputTaskBit(task, OutputFamily::Switch, highSwitchItem(4), true));
    EXPECT_EQ(task.switchesTask, 0x18);
    EXPECT_EQ(task.relaysTask, 0);
    EXPECT_EQ(task.ttlOutputsTask, 0);
}

TEST(OutputTaskEdit, ClearingOneBitLeavesTheOthers)
{
    OutputTask task;
    task.relaysTask = 0x3F;
    ASSERT_TRUE(setOutputTaskBit(task, OutputFamily::Relay, 3, false));
    EXPECT_EQ(task.relaysTask, 0x3B);
    ASSERT_TRUE(setOutputTaskBit(task, OutputFamily::TtlOutput, 8, true));
    EXPECT_EQ(task.ttlOutputsTask, 0x80);
}

TEST(OutputTaskEdit, TagsOutsideTheFamilyChangeNothing)
{
    OutputTask task;
    EXPECT_FALSE(setOutputTaskBit(task, OutputFamily::Relay, 7, true)); // six relays
    EXPECT_FALSE(setOutputTaskBit(task, OutputFamily::Relay, 0, true));
    EXPECT_FALSE(setOutputTaskBit(task, OutputFamily::TtlOutput, 9, true));
    EXPECT_FALSE(setOutputTaskBit(task, OutputFamily::Switch, -1, true));
    EXPECT_EQ(task.relaysTask, 0);
    EXPECT_EQ(task.ttlOutputsTask, 0);
    EXPECT_EQ(task.switchesTask, 0);
}

TEST(OutputTaskEdit, FanTasksAreClampedPercentages)
{
    OutputTask task;
    ASSERT_TRUE(setFanTask(task, 3, 75));
    EXPECT_EQ(task.fanTask[2], 75);
    ASSERT_TRUE(setFanTask(task, 1, 150));
    EXPECT_EQ(task.fanTask[0], 100);
    ASSERT_TRUE(setFanTask(task, 4, -5));
    EXPECT_EQ(task.fanTask[3], 0);
    EXPECT_FALSE(setFanTask(task, 5, 50));
    EXPECT_FALSE(setFanTask(task, 0, 50));
    EXPECT_EQ(fanTaskText(75), "75 %");
    EXPECT_EQ(fanTaskText(0), "0 %");
}

TEST(MaskBits, ItemKIsBitKMinusOne)
{
    EXPECT_TRUE(maskBit(0x81, 1));
    EXPECT_TRUE(maskBit(0x81, 8));
    EXPECT_FALSE(maskBit(0x81, 2));
    EXPECT_FALSE(maskBit(0xFF, 0));
    EXPECT_FALSE(maskBit(0xFF, 9));
    EXPECT_EQ(withMaskBit(0xFF, 9, false), 0xFF);
    EXPECT_EQ(withMaskBit(0x00, 0, true), 0x00);
    EXPECT_EQ(withMaskBit(0x00, 5, true), 0x10);
}

#include "work_test_rig.h"

#include <gtest/gtest.h>

using namespace vardex;
using test::WorkRig;

TEST(WorkOutputs, SwitchBoxesSetTheirTaskBits)
{
    WorkRig rig;
    rig.enableAllChannels();
    rig.box("cbLowSwitch1")->click();
    EXPECT_EQ(rig.dm.image().outputTask.switchesTask, 0x10);
    rig.box("cbHighSwitch4")->click();
    EXPECT_EQ(rig.dm.image().outputTask.switchesTask, 0x18);
    rig.box("cbLowSwitch1")->click(); // unchecked again
    EXPECT_EQ(rig.dm.image().outputTask.switchesTask, 0x08);
    EXPECT_EQ(rig.dm.image().outputTask.relaysTask, 0);
    EXPECT_EQ(rig.box("cbLowSwitch1")->property("tag").toInt(), 5);
}

TEST(WorkOutputs, FanBarSetsTaskAndLabelUntilTheNextDisplay)
{
    WorkRig rig;
    rig.enableAllChannels();
    auto *bar = rig.widget<QScrollBar>("FanBar3");
    bar->setValue(75);
    EXPECT_EQ(rig.dm.image().outputTask.fanTask[2], 75);
    EXPECT_EQ(rig.label("FanTaskLabel3")->text(), "75 %");
    rig.dm.image().state.fanTasks[2] = 40;
    rig.page->showMonitorState();
    EXPECT_EQ(rig.label("FanTaskLabel3")->text(), "40 %");
    EXPECT_EQ(bar->value(), 75);
    EXPECT_EQ(rig.dm.image().outputTask.fanTask[2], 75);
}

TEST(WorkOutputs, DisabledRelayKeepsItsTaskBit)
{
    WorkRig rig;
    link::MonitorConfig c;
    c.relayEnable = 0x3E; // relay 1 not fitted
    rig.page->enableChannels(c);
    rig.dm.image().outputTask.relaysTask = 0x01; // set elsewhere (the ping watchdog)
    rig.box("cbRelay1")->click();
    EXPECT_FALSE(rig.box("cbRelay1")->isChecked());
    EXPECT_EQ(rig.dm.image().outputTask.relaysTask, 0x01);
    rig.box("cbRelay2")->click();
    EXPECT_EQ(rig.dm.image().outputTask.relaysTask, 0x03);
}

TEST(WorkOutputs, TaskButtonSendsTheWholeTaskWithoutWaiting)
{
    WorkRig rig;
    ASSERT_TRUE(rig.connected);
    rig.enableButtons();
    rig.enableAllChannels();
    rig.box("cbRelay1")->click();
    rig.box("cbRelay3")->click();
    rig.box("cbHighSwitch2")->click();
    rig.box("cbLowSwitch1")->click();
    rig.widget<QScrollBar>("FanBar1")->setValue(100);
    rig.widget<QScrollBar>("FanBar2")->setValue(50);
    std::vector<link::Payload> sent;
    rig.dm.setTraceSink([&](const link::TraceEntry &e) {
        if (e.direction == link::TraceEntry::Direction::Sent)
            sent.push_back(e.payload);
    });
    rig.page->workTaskButton()->click();
    EXPECT_FALSE(rig.dm.isBusy()); // no wait
    rig.page->workTaskButton()->click();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0], sent[1]);
    const std::uint8_t expected[] = {3, 0, 0, 0, 0, 8, 0, 0x12, 0x05, 100, 50, 0, 0};
    for (std::size_t i = 0; i < sizeof expected; ++i)
        EXPECT_EQ(sent[0][i], expected[i]) << i;
}

// The whole loop: the user's relay reaches the controller and comes back in the state.
TEST(WorkOutputs, RelaySetByHandShowsActiveAtTheNextPoll)
{
    WorkRig rig;
    ASSERT_TRUE(rig.connected);
    rig.enableButtons();
    rig.enableAllChannels();
    rig.box("cbRelay1")->click();
    rig.page->workTaskButton()->click();
    ASSERT_TRUE(test::waitUntil([&] { return rig.requestCount(3) == 1; }));
    EXPECT_FALSE(test::isActiveLook(rig.box("cbRelay1")));

    rig.page->askStateButton()->click();
    ASSERT_TRUE(test::waitUntil([&] { return test::isActiveLook(rig.box("cbRelay1")); }, 3000));
    EXPECT_TRUE(test::isPlainLook(rig.box("cbRelay2")));
    EXPECT_TRUE(rig.box("cbRelay1")->isChecked());
}

// A loop switched relay 1 on while its box (the engineer's task) is unticked: the green
// bold caption says which loop holds it, and says nothing once the loop lets go.
TEST(WorkOutputs, AnOutputHeldByALoopSaysWhichLoop)
{
    WorkRig rig;
    rig.enableAllChannels();
    link::MonitorState &s = rig.dm.image().state;
    s.relays = 0x01;
    s.systemFlags[6] = 0x01; // flag 49: loop 17, relay 1's loop
    rig.page->showMonitorState();
    QCheckBox *relay = rig.box("cbRelay1");
    EXPECT_FALSE(relay->isChecked());
    EXPECT_TRUE(relay->font().bold());
    EXPECT_EQ(relay->toolTip(), "включено контуром 17");
    EXPECT_EQ(relay->statusTip(), "включено контуром 17");
    EXPECT_TRUE(rig.box("cbRelay2")->toolTip().isEmpty());
    s.systemFlags[6] = 0;
    rig.page->showMonitorState();
    EXPECT_TRUE(relay->font().bold()) << "still on";
    EXPECT_TRUE(relay->toolTip().isEmpty()) << "but no longer by the loop";
}

#include "frame_rig.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

using namespace vardex;
using sim::Fault;
using test::FrameRig;

namespace {

void enableTransfer(FrameRig &rig)
{
    rig.w("ReadCfgBtn")->setEnabled(true);
    rig.w("WriteCfgBtn")->setEnabled(true);
}

} // namespace

TEST(CfgReadButton, AllPagesInTimeRefreshThePagesOnce)
{
    FrameRig rig;
    ASSERT_TRUE(rig.connected);
    enableTransfer(rig);
    const int changesBefore = rig.configurationChanges;
    rig.click("ReadCfgBtn");
    EXPECT_EQ(rig.configurationChanges - changesBefore, 1);
    EXPECT_TRUE(rig.prompts.messages.isEmpty());
    EXPECT_EQ(rig.config().firmwareVersion, 24);
    EXPECT_EQ(rig.w<QSpinBox>("SystemConfigNumberEdit")->value(),
              std::max<int>(1, rig.config().hardwareConfigNumber));
}

TEST(CfgReadButton, ControllerAnsweringPageZeroOnlyReportsOnceAndRefreshesNothing)
{
    FrameRig rig;
    ASSERT_TRUE(rig.connected);
    enableTransfer(rig);
    rig.click("ClearCfgBtn");
    rig.transport.withFirmware(rig.id, [](sim::Firmware &fw) {
        fw.config().setHardwareConfigNumber(77);
        fw.config().setAnalogScale(1, 2.5f, 0.0f);
    });
    rig.transport.addFault(rig.id, Fault{Fault::Kind::Drop, 1, 1, 0});
    const int changesBefore = rig.configurationChanges;
    QElapsedTimer timer;
    timer.start();
    rig.click("ReadCfgBtn");
    EXPECT_GE(timer.elapsed(), 4900);
    ASSERT_EQ(rig.prompts.messages.size(), 1);
    EXPECT_EQ(rig.prompts.messages[0], "Нет ответа контроллера");
    EXPECT_EQ(rig.config().hardwareConfigNumber, 77); // page 0 landed
    EXPECT_FLOAT_EQ(rig.config().analogA[0], 1.0f);   // page 1 did not
    EXPECT_EQ(rig.configurationChanges - changesBefore, 0);
    EXPECT_EQ(rig.w<QSpinBox>("SystemConfigNumberEdit")->value(), 1);
    // Pages 2 and 3 were never asked for.
    int page3 = 0;
    for (const auto &p : rig.transport.receivedRequests(rig.id))
        page3 += p[0] == 1 && p[1] >= 2;
    EXPECT_EQ(page3, 0);
}

TEST(CfgReadButton, LatePageThreeUpdatesTheImageButNotThePage)
{
    FrameRig rig;
    ASSERT_TRUE(rig.connected);
    enableTransfer(rig);
    rig.click("ClearCfgBtn");
    rig.transport.withFirmware(rig.id, [](sim::Firmware &fw) {
        fw.config().setResolution(1, 0);
        fw.config().setTemperAlarm(1, -20, 100);
    });
    rig.transport.addFault(rig.id, Fault{Fault::Kind::Delay, 1, 3, 300});
    const int changesBefore = rig.configurationChanges;
    rig.click("ReadCfgBtn");
    EXPECT_EQ(rig.config().temperAlarmHigh[0], 100);
    EXPECT_EQ(rig.config().temperAlarmLow[0], 65516);
    EXPECT_EQ(rig.configurationChanges - changesBefore, 0);
    EXPECT_TRUE(rig.prompts.messages.isEmpty());
    EXPECT_EQ(FrameRig::shown(rig.edit("TemperAlarmHighEdit", 1)), "100"); // the cleared 200
    EXPECT_EQ(FrameRig::shown(rig.edit("TemperAlarmLowEdit", 1)), "0");
    rig.frame->showMonitorConfig();
    EXPECT_EQ(FrameRig::shown(rig.edit("TemperAlarmHighEdit", 1)), "50");
    EXPECT_EQ(FrameRig::shown(rig.edit("TemperAlarmLowEdit", 1)), "-10");
}

TEST(CfgWriteButton, SendsFourPagesWithoutTheVersionBytes)
{
    FrameRig rig;
    ASSERT_TRUE(rig.connected);
    enableTransfer(rig);
    rig.click("ClearCfgBtn");
    rig.config().hardwareConfigNumber = 33;
    rig.transport.clearReceivedRequests(rig.id);
    rig.click("WriteCfgBtn");
    EXPECT_FALSE(rig.dm.isBusy());
    // The four page writes, then the four page reads of the check.
    const auto requests = rig.transport.receivedRequests(rig.id);
    ASSERT_EQ(requests.size(), 8u);
    for (int page = 0; page < 4; ++page) {
        EXPECT_EQ(requests[page][0], 9);
        EXPECT_EQ(requests[page][1], page);
        EXPECT_EQ(requests[4 + page][0], 1);
        EXPECT_EQ(requests[4 + page][1], page);
    }
    rig.transport.withFirmware(rig.id, [](sim::Firmware &fw) {
        EXPECT_EQ(fw.config().hardwareConfigNumber(), 33);
        EXPECT_EQ(fw.config().firmwareVersion(), 24);
        EXPECT_EQ(fw.config().temperAlarmHigh(3), 200);
    });
}

TEST(CfgButtons, DisabledUntilTheDescriptionEnablesThem)
{
    FrameRig rig;
    ASSERT_TRUE(rig.connected);
    rig.w<QPushButton>("ReadCfgBtn")->click();
    rig.w<QPushButton>("WriteCfgBtn")->click();
    EXPECT_TRUE(rig.transport.receivedRequests(rig.id).empty());
}

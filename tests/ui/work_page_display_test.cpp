#include "work_test_rig.h"

#include <gtest/gtest.h>

#include <limits>

using namespace vardex;
using test::WorkRig;

TEST(WorkDisplay, ContactsShowMarkAndActiveLook)
{
    WorkRig rig;
    rig.dm.image().state.contactInputs = 0x81;
    rig.page->showMonitorState();
    for (int k = 1; k <= 8; ++k) {
        QCheckBox *c = rig.box(QStringLiteral("cbContact%1").arg(k));
        const bool on = k == 1 || k == 8;
        EXPECT_EQ(c->isChecked(), on) << k;
        EXPECT_EQ(test::isActiveLook(c), on) << k;
        EXPECT_EQ(test::isPlainLook(c), !on) << k;
    }
    // A later state without them returns them to black and regular.
    rig.dm.image().state.contactInputs = 0x00;
    rig.page->showMonitorState();
    EXPECT_FALSE(rig.box("cbContact8")->isChecked());
    EXPECT_TRUE(test::isPlainLook(rig.box("cbContact8")));
}

TEST(WorkDisplay, SwitchStateChangesFontNotTheUsersMarks)
{
    WorkRig rig;
    rig.enableAllChannels();
    rig.box("cbHighSwitch2")->click(); // the user's wish, not the state
    rig.dm.image().state.switches = 0x21;
    rig.page->showMonitorState();
    EXPECT_TRUE(test::isActiveLook(rig.box("cbHighSwitch1")));
    EXPECT_TRUE(test::isActiveLook(rig.box("cbLowSwitch2")));
    EXPECT_TRUE(test::isPlainLook(rig.box("cbHighSwitch2")));
    EXPECT_TRUE(test::isPlainLook(rig.box("cbLowSwitch1")));
    EXPECT_FALSE(rig.box("cbHighSwitch1")->isChecked());
    EXPECT_FALSE(rig.box("cbLowSwitch2")->isChecked());
    EXPECT_TRUE(rig.box("cbHighSwitch2")->isChecked());
}

TEST(WorkDisplay, TtlInputsShowMarksOnly)
{
    WorkRig rig;
    rig.dm.image().state.ttlInputs = 0x02;
    rig.page->showMonitorState();
    EXPECT_TRUE(rig.box("cbDigitInput2")->isChecked());
    EXPECT_FALSE(rig.box("cbDigitInput2")->font().bold());
    EXPECT_FALSE(rig.box("cbDigitInput1")->isChecked());
}

TEST(WorkDisplay, LoopFlagDrawnInFlagColourNeverBold)
{
    WorkRig rig;
    rig.dm.image().state.systemFlags[4] = 0x01;
    rig.page->showMonitorState();
    QCheckBox *f = rig.page->flag(33);
    EXPECT_EQ(f->text(), "Кон.1");
    EXPECT_TRUE(f->isChecked());
    EXPECT_EQ(f->palette().color(QPalette::Active, QPalette::WindowText), QColor(231, 96, 22));
    EXPECT_FALSE(f->font().bold());
    EXPECT_FALSE(rig.page->flag(34)->isChecked());
    EXPECT_FALSE(rig.page->flag(32)->isChecked());

    rig.dm.image().state.systemFlags[4] = 0x00;
    rig.page->showMonitorState();
    EXPECT_FALSE(f->isChecked());
    EXPECT_EQ(f->palette().color(QPalette::Active, QPalette::WindowText), QColor(0, 0, 0));
}

TEST(WorkDisplay, TemperaturesScaledBySensorResolution)
{
    WorkRig rig;
    auto &image = rig.dm.image();
    image.state.temperatures[0] = -110;
    image.config.dallasResolution[0] = 0;
    image.state.temperatures[1] = 2000;
    image.config.dallasResolution[1] = 3;
    image.state.temperatures[2] = 2000;
    image.config.dallasResolution[2] = 9; // no such resolution
    rig.page->showMonitorState();
    EXPECT_EQ(rig.label("stTemper1")->text(), "-55.0");
    EXPECT_EQ(rig.label("stTemper2")->text(), "125.0");
    EXPECT_EQ(rig.label("stTemper3")->text(), "*");
    EXPECT_EQ(rig.label("stTemper4")->text(), "0.0");
}

TEST(WorkDisplay, UnformattableAnalogShowsStarOthersStillWritten)
{
    WorkRig rig;
    auto &state = rig.dm.image().state;
    state.analogValues = {12.04f, std::numeric_limits<float>::quiet_NaN(), 5.0f, 0.0f,
                          -1.25f, std::numeric_limits<float>::infinity()};
    state.fanSpeeds[3] = 65535;
    rig.page->showMonitorState();
    EXPECT_EQ(rig.label("stAnalog1")->text(), "12.0");
    EXPECT_EQ(rig.label("stAnalog2")->text(), "*");
    EXPECT_EQ(rig.label("stAnalog3")->text(), "5.0");
    EXPECT_EQ(rig.label("stAnalog5")->text(), "-1.3");
    EXPECT_EQ(rig.label("stPower")->text(), "*");
    EXPECT_EQ(rig.label("stFanSpeed4")->text(), "65535");
}

TEST(WorkDisplay, ValueFieldsStartDisabledUntilChannelsEnabled)
{
    WorkRig rig;
    EXPECT_FALSE(rig.label("stTemper1")->isEnabled());
    EXPECT_EQ(rig.label("stTemper1")->text(), "0.0");
    EXPECT_FALSE(rig.box("cbRelay1")->isEnabled());
    link::MonitorConfig c;
    c.analogEnable = 0x20; // the mains only
    c.fanEnable = 0x02;
    rig.page->enableChannels(c);
    EXPECT_TRUE(rig.label("stPower")->isEnabled());
    EXPECT_FALSE(rig.label("stAnalog1")->isEnabled());
    EXPECT_TRUE(rig.widget<QScrollBar>("FanBar2")->isEnabled());
    EXPECT_TRUE(rig.label("stFanSpeed2")->isEnabled());
    EXPECT_FALSE(rig.widget<QScrollBar>("FanBar1")->isEnabled());
}

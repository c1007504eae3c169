#include "frame_rig.h"

#include <gtest/gtest.h>

using namespace vardex;
using test::FrameRig;

namespace {

// A frame whose image holds the defaults (as after Clear) and is shown.
void cleared(FrameRig &rig)
{
    rig.click("ClearCfgBtn");
}

} // namespace

TEST(TemperatureAlarmEdit, TypedValueAboveTheRangeIsClampedThenStored)
{
    FrameRig rig;
    cleared(rig);
    auto *high = rig.edit("TemperAlarmHighEdit", 1);
    FrameRig::type(high, "200");
    EXPECT_EQ(FrameRig::shown(high), "125");
    EXPECT_EQ(rig.config().temperAlarmHigh[0], 250);

    FrameRig::choose(rig.w<QComboBox>("cbDallasResolution", 1), 1); // "0.25"
    FrameRig::type(high, "200");
    EXPECT_EQ(rig.config().temperAlarmHigh[0], 500);
    // Below the minimum: the minimum.
    FrameRig::type(high, "-55");
    EXPECT_EQ(FrameRig::shown(high), "-40");
    EXPECT_EQ(rig.config().temperAlarmHigh[0], -160);
}

TEST(TemperatureAlarmEdit, NegativeThresholdSurvivesTheControllerRoundTrip)
{
    FrameRig rig;
    ASSERT_TRUE(rig.connected);
    cleared(rig);
    FrameRig::type(rig.edit("TemperAlarmLowEdit", 1), "-40");
    EXPECT_EQ(rig.config().temperAlarmLow[0], -80); // negative in memory

    rig.w("ReadCfgBtn")->setEnabled(true);
    rig.w("WriteCfgBtn")->setEnabled(true);
    rig.click("WriteCfgBtn");
    rig.config().temperAlarmLow[0] = 0;
    rig.click("ReadCfgBtn");
    EXPECT_EQ(rig.config().temperAlarmLow[0], 65456); // zero-extended by the read
    EXPECT_EQ(FrameRig::shown(rig.edit("TemperAlarmLowEdit", 1)), "-40");
}

TEST(TemperatureAlarmEdit, ResolutionChangeKeepsRawThresholds)
{
    FrameRig rig;
    cleared(rig);
    rig.config().temperAlarmLow[2] = -20;
    rig.config().temperAlarmHigh[2] = 120;
    rig.frame->showMonitorConfig();
    EXPECT_EQ(FrameRig::shown(rig.edit("TemperAlarmHighEdit", 3)), "60");
    FrameRig::choose(rig.w<QComboBox>("cbDallasResolution", 3), 1);
    EXPECT_EQ(rig.config().dallasResolution[2], 1);
    EXPECT_EQ(rig.config().temperAlarmHigh[2], 120);
    EXPECT_EQ(rig.config().temperAlarmLow[2], -20);
    rig.frame->showMonitorConfig();
    EXPECT_EQ(FrameRig::shown(rig.edit("TemperAlarmHighEdit", 3)), "30");
    EXPECT_EQ(FrameRig::shown(rig.edit("TemperAlarmLowEdit", 3)), "-5");
}

TEST(AnalogAlarmEdit, ShownToRawTruncatesAndShowsTheStoredCode)
{
    FrameRig rig;
    cleared(rig);
    FrameRig::type(rig.edit("AnalogAxEdit", 2), "0.3");
    FrameRig::type(rig.edit("AnalogBxEdit", 2), "0");
    EXPECT_FLOAT_EQ(rig.config().analogA[1], 0.3f);
    FrameRig::type(rig.edit("AnalogAlarmLowEdit", 2), "1");
    EXPECT_EQ(rig.config().analogAlarmLow[1], 3);
    rig.frame->showMonitorConfig();
    EXPECT_EQ(FrameRig::shown(rig.edit("AnalogAlarmLowEdit", 2)), "0.9");
}

TEST(AnalogGainEdit, FirstChannelTakesFourPlacesWhenTyped)
{
    FrameRig rig;
    cleared(rig);
    FrameRig::type(rig.edit("AnalogAxEdit", 1), "0.12345");
    EXPECT_FLOAT_EQ(rig.config().analogA[0], 0.1234f);
    EXPECT_EQ(FrameRig::shown(rig.edit("AnalogAxEdit", 1)), "0.1234");
    FrameRig::type(rig.edit("AnalogAxEdit", 2), "0.12345");
    EXPECT_FLOAT_EQ(rig.config().analogA[1], 0.12345f);
    // Showing keeps the six-place format on every channel.
    rig.config().analogA[0] = 0.123456f;
    rig.frame->showMonitorConfig();
    EXPECT_EQ(FrameRig::shown(rig.edit("AnalogAxEdit", 1)), "0.123456");
}

TEST(AnalogAlarmEdit, ZeroGainStoresZero)
{
    FrameRig rig;
    cleared(rig);
    FrameRig::type(rig.edit("AnalogAxEdit", 4), "0");
    FrameRig::type(rig.edit("AnalogAlarmHighEdit", 4), "500");
    EXPECT_EQ(rig.config().analogAlarmHigh[3], 0);
    // Beyond 32768 the edit clamps before converting.
    FrameRig::type(rig.edit("AnalogAxEdit", 4), "1");
    FrameRig::type(rig.edit("AnalogAlarmHighEdit", 4), "99999");
    EXPECT_EQ(FrameRig::shown(rig.edit("AnalogAlarmHighEdit", 4)), "32768");
    EXPECT_EQ(rig.config().analogAlarmHigh[3], 32768);
}

TEST(DebounceEdit, StoresOnlyOnLeaving)
{
    FrameRig rig;
    cleared(rig);
    auto *debounce = rig.w<QSpinBox>("AnalogAlarmDebonceEdit", 3);
    FrameRig::type(debounce, "17");
    EXPECT_EQ(rig.config().analogAlarmDebounce[2], 1);
    emit debounce->editingFinished();
    EXPECT_EQ(rig.config().analogAlarmDebounce[2], 17);
    auto *dallas = rig.w<QSpinBox>("DallasAlarmDebonceEdit", 6);
    dallas->setValue(255);
    emit dallas->editingFinished();
    EXPECT_EQ(rig.config().dallasAlarmDebounce[5], 255);
}

TEST(ShowMonitorConfig, OnlyDisplays)
{
    FrameRig rig;
    cleared(rig);
    rig.config().temperAlarmLow[0] = 65456;
    rig.config().analogAlarmLow[1] = 7;
    rig.config().analogA[1] = 0.3f;
    const auto before = rig.config().encode();
    rig.frame->showMonitorConfig();
    EXPECT_EQ(rig.config().encode(), before);
}

TEST(InputChecks, EnableBoxesSetTheirBits)
{
    FrameRig rig;
    rig.w<QCheckBox>("cbContactEnabled", 8)->click();
    rig.w<QCheckBox>("cbTTLInputEnabled", 1)->click();
    rig.w<QCheckBox>("cbAnalogEnabled", 6)->click();
    rig.w<QCheckBox>("cbTemperEnabled", 3)->click();
    EXPECT_EQ(rig.config().contactEnable, 0x80);
    EXPECT_EQ(rig.config().ttlInputEnable, 0x01);
    EXPECT_EQ(rig.config().analogEnable, 0x20);
    EXPECT_EQ(rig.config().temperEnable, 0x04);
    rig.w<QCheckBox>("cbContactEnabled", 8)->click();
    EXPECT_EQ(rig.config().contactEnable, 0);
}

TEST(OutputChecks, LowSideSwitchClearsBit5AndGreysItsNode)
{
    FrameRig rig;
    rig.config().switchEnable = 0xFF;
    rig.frame->showMonitorConfig();
    EXPECT_FALSE(rig.nodeCut(17));
    rig.w<QCheckBox>("cbSwitchLowEnabled", 2)->click();
    EXPECT_EQ(rig.config().switchEnable, 0xFF & ~32);
    EXPECT_TRUE(rig.nodeCut(17));
    EXPECT_FALSE(rig.nodeCut(16));
    EXPECT_FALSE(rig.frame->tree()->node(17)->font(0).bold());
}

TEST(OutputChecks, EachFamilyDrivesItsOwnNodes)
{
    FrameRig rig;
    rig.w<QCheckBox>("cbTTLOtputEnabled", 8)->click();
    rig.w<QCheckBox>("cbSwitchHighEnabled", 1)->click();
    rig.w<QCheckBox>("cbRelayEnabled", 6)->click();
    rig.w<QCheckBox>("cbFanEnabled", 4)->click();
    EXPECT_EQ(rig.config().ttlOutputEnable, 0x80);
    EXPECT_EQ(rig.config().switchEnable, 0x01);
    EXPECT_EQ(rig.config().relayEnable, 0x20);
    EXPECT_EQ(rig.config().fanEnable, 0x08);
    for (int node : {9, 11, 26, 31})
        EXPECT_FALSE(rig.nodeCut(node)) << node;
    for (int node : {8, 12, 16, 25, 30})
        EXPECT_TRUE(rig.nodeCut(node)) << node;
}

TEST(OutputChecks, HighSideMaskChecksOnlyHighSideBoxes)
{
    FrameRig rig;
    rig.config().switchEnable = 0x0F;
    rig.frame->showMonitorConfig();
    for (int n = 1; n <= 4; ++n) {
        EXPECT_TRUE(rig.w<QCheckBox>("cbSwitchHighEnabled", n)->isChecked()) << n;
        EXPECT_FALSE(rig.w<QCheckBox>("cbSwitchLowEnabled", n)->isChecked()) << n;
        EXPECT_FALSE(rig.nodeCut(10 + n));
        EXPECT_TRUE(rig.nodeCut(15 + n));
    }
}

TEST(FanEdits, MinimumClampsAndImpulseStoresTheIndex)
{
    FrameRig rig;
    cleared(rig);
    FrameRig::type(rig.edit("FanMinEdit", 2), "150");
    EXPECT_EQ(rig.config().fanMin[1], 100);
    FrameRig::type(rig.edit("FanMinEdit", 2), "0");
    EXPECT_EQ(rig.config().fanMin[1], 1);
    FrameRig::choose(rig.w<QComboBox>("cbFanImpuls", 3), 3);
    EXPECT_EQ(rig.config().fanImpulse[2], 3);
}

TEST(LoggingPage, LogBoxFollowsTheEnableMaskOnlyAtTheNextFill)
{
    FrameRig rig;
    rig.config().analogEnable = 0x37; // bit 3 clear
    rig.config().analogLogEnable = 0x08;
    rig.frame->showMonitorConfig();
    auto *box = rig.w<QCheckBox>("cbAnalogLogEnabled", 4);
    EXPECT_FALSE(box->isEnabled());
    EXPECT_TRUE(box->isChecked());
    rig.w<QCheckBox>("cbAnalogEnabled", 4)->click();
    EXPECT_FALSE(box->isEnabled());
    rig.frame->showMonitorConfig();
    EXPECT_TRUE(box->isEnabled());
}

TEST(LoggingPage, PeriodsAndMasksStoreOnUserAction)
{
    FrameRig rig;
    rig.config().temperEnable = 0x3F;
    rig.frame->showMonitorConfig();
    FrameRig::choose(rig.w<QComboBox>("LogPeriodEdit"), 3);
    FrameRig::choose(rig.w<QComboBox>("LogAlarmPeriodEdit"), 0);
    EXPECT_EQ(rig.config().logPeriod, 3);
    EXPECT_EQ(rig.config().logAlarmPeriod, 0);
    EXPECT_EQ(rig.w<QComboBox>("LogPeriodEdit")->currentText(), "2 ми");
    rig.w<QCheckBox>("cbDallasLogEnabled", 6)->click();
    EXPECT_EQ(rig.config().dallasLogEnable, 0x20);
}

TEST(SystemPage, ConfigNumberStoresEveryChange)
{
    FrameRig rig;
    auto *number = rig.w<QSpinBox>("SystemConfigNumberEdit");
    FrameRig::type(number, "42");
    EXPECT_EQ(rig.config().hardwareConfigNumber, 42);
    EXPECT_EQ(number->minimum(), 1);
    EXPECT_EQ(number->maximum(), 255);
}

TEST(FocusTint, EveryNumericEditAndListOfThePagesIsTinted)
{
    FrameRig rig;
    int tinted = 0;
    for (QWidget *w : rig.frame->findChildren<QWidget *>()) {
        if (qobject_cast<QAbstractSpinBox *>(w) || qobject_cast<QComboBox *>(w)) {
            EXPECT_TRUE(w->property("vardexFocusTint").toBool()) << w->objectName().toStdString();
            ++tinted;
        }
    }
    // 6 x 5 analog, 6 x 3 sensor, 4 fan minima, the number; 6 + 4 + 2 lists.
    EXPECT_EQ(tinted, 30 + 18 + 4 + 1 + 12);
}

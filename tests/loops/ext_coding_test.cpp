#include "loops/ext_coding.h"
#include "loops/loop_outputs.h"

#include <gtest/gtest.h>

using namespace vardex::loops;
using vardex::link::MonitorConfig;

TEST(LoopExtCoding, TimerRoundsHalfToEvenAndClamps)
{
    EXPECT_EQ(ext::timerFromShown(12.34), 12);
    EXPECT_EQ(ext::timerFromShown(12.5), 12);
    EXPECT_EQ(ext::timerFromShown(13.5), 14);
    EXPECT_EQ(ext::timerFromShown(600.4), 600);
    EXPECT_EQ(ext::timerFromShown(6000), 600);
    EXPECT_EQ(ext::timerFromShown(-3), 0);
}

TEST(LoopExtCoding, PulsesKeepWholePulsesOnly)
{
    EXPECT_EQ(ext::pulseFromShown(3.7), 3);
    EXPECT_EQ(ext::pulseFromShown(255.9), 255);
    EXPECT_EQ(ext::pulseFromShown(300), 255);
    EXPECT_EQ(ext::pulseFromShown(-1), 0);
}

TEST(LoopExtCoding, DimmerClampsToAByte)
{
    EXPECT_EQ(ext::dimmerFromShown(300), 255);
    EXPECT_EQ(ext::dimmerFromShown(31.6), 32);
    EXPECT_EQ(ext::dimmerFromShown(-5), 0);
}

TEST(LoopExtCoding, LogicReadsAnyNonZeroAsAnd)
{
    EXPECT_TRUE(ext::logicIsAnd(1));
    EXPECT_FALSE(ext::logicIsAnd(0));
    EXPECT_EQ(ext::logicFor(true), 255);
    EXPECT_EQ(ext::logicFor(false), 0);
}

TEST(LoopExtCoding, UsbBitsLeaveTheOthersAlone)
{
    const std::uint8_t mode = 0x0B; // activity inverted, +5 V direct
    EXPECT_TRUE(ext::hasBits(mode, ext::kUsbActivity));
    EXPECT_TRUE(ext::hasBits(mode, ext::kUsbActivityInverted));
    EXPECT_TRUE(ext::hasBits(mode, ext::kUsbPower));
    EXPECT_FALSE(ext::hasBits(mode, ext::kUsbPowerInverted));
    EXPECT_EQ(ext::withBits(mode, ext::kUsbActivity, false), 0x09);
    // Unassigned bits 4..7 survive an edit.
    EXPECT_EQ(ext::withBits(0xF0, ext::kUsbPower, true), 0xF8);
}

TEST(LoopExtCoding, OwnOutputAndDisabledOutputsAreNeverChecked)
{
    MonitorConfig c;
    c.ttlOutputEnable = 0xFF;
    c.relayEnable = 0x01;
    // Loop 5 holds its own bit, a disabled relay 2 and an unassigned bit.
    const std::uint32_t stored = 0x10 | (1u << 17) | (1u << 30) | 0x01;
    ext::OutputItems items = ext::outputItems(c, 5, stored);
    EXPECT_FALSE(items[4].enabled);
    EXPECT_FALSE(items[4].checked);
    EXPECT_FALSE(items[17].enabled);
    EXPECT_TRUE(items[0].checked);
    EXPECT_TRUE(items[16].enabled);
    items[16].checked = true; // the user checks "Реле_1"
    items[0].checked = false;
    EXPECT_EQ(ext::outputMask(items), 0x10000u);
}

TEST(LoopOutputs, SwitchLoopsFollowTheirHalfOfSwitchEnable)
{
    MonitorConfig c;
    c.switchEnable = 0x0F;
    EXPECT_TRUE(loopOutputEnabled(c, 9));
    EXPECT_TRUE(loopOutputEnabled(c, 12));
    EXPECT_FALSE(loopOutputEnabled(c, 13));
    c.switchEnable = 0x10;
    EXPECT_TRUE(loopOutputEnabled(c, 13));
    EXPECT_FALSE(loopOutputEnabled(c, 14));
}

TEST(LoopOutputs, EveryGroupMapsToItsMask)
{
    MonitorConfig c;
    c.ttlOutputEnable = 0x80;
    c.relayEnable = 0x20;
    c.fanEnable = 0x08;
    EXPECT_TRUE(loopOutputEnabled(c, 8));
    EXPECT_TRUE(loopOutputEnabled(c, 22));
    EXPECT_TRUE(loopOutputEnabled(c, 26));
    EXPECT_FALSE(loopOutputEnabled(c, 23));
    c.fanEnable = 0xFF;
    EXPECT_FALSE(loopOutputEnabled(c, 0));
    EXPECT_FALSE(loopOutputEnabled(c, 27));
}

TEST(LoopOutputs, ItemNamesFollowTheOutputList)
{
    EXPECT_EQ(outputItemName(1), QStringLiteral("TTL_выход_1"));
    EXPECT_EQ(outputItemName(12), QStringLiteral("Верхн_ключ_4"));
    EXPECT_EQ(outputItemName(13), QStringLiteral("Нижн_ключ_1"));
    EXPECT_EQ(outputItemName(17), QStringLiteral("Реле_1"));
    EXPECT_EQ(outputItemName(26), QStringLiteral("ШИМ_4"));
    EXPECT_TRUE(outputItemName(27).isEmpty());
}

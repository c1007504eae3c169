#include "link/device_image.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace vardex::link;

namespace {

// Every field set to a value that shows its position, so an offset slip is visible.
MonitorConfig distinctConfig()
{
    MonitorConfig c;
    c.firmwareVersion = 24;
    c.buildVariant = 3;
    c.hardwareConfigNumber = 7;
    c.reserved0 = 0xA5;
    c.contactEnable = 0x81;
    c.ttlInputEnable = 0x42;
    c.analogEnable = 0x3F;
    c.temperEnable = 0x15;
    c.ttlOutputEnable = 0xF0;
    c.switchEnable = 0x0F;
    c.relayEnable = 0x2A;
    c.fanEnable = 0x09;
    for (int i = 0; i < 6; ++i) {
        c.analogA[i] = 0.5f + i;
        c.analogB[i] = -1.25f - i;
        c.dallasResolution[i] = static_cast<std::uint8_t>(i % 4);
        c.analogAlarmLow[i] = 100 + i;
        c.analogAlarmHigh[i] = 70000 + i;
        c.temperAlarmLow[i] = -160 - i;
        c.temperAlarmHigh[i] = 250 + i;
        c.analogAlarmDebounce[i] = 10 + i;
        c.dallasAlarmDebounce[i] = 200 + i;
    }
    for (int i = 0; i < 4; ++i) {
        c.fanMin[i] = static_cast<std::uint8_t>(20 + i);
        c.fanImpulse[i] = static_cast<std::uint8_t>(i);
    }
    c.fill74 = {0xDE, 0xAD};
    c.logPeriod = 4;
    c.logAlarmPeriod = 1;
    c.analogLogEnable = 0x21;
    c.dallasLogEnable = 0x12;
    return c;
}

} // namespace

TEST(MonitorConfigCodec, FreshImageIs224ZeroBytes)
{
    DeviceImage image;
    const auto bytes = image.config.encode();
    ASSERT_EQ(bytes.size(), 224u);
    for (std::uint8_t b : bytes)
        EXPECT_EQ(b, 0);
}

TEST(MonitorConfigCodec, FieldsLandAtTheirOffsetsLittleEndian)
{
    const auto b = distinctConfig().encode();
    EXPECT_EQ(b[0], 24);
    EXPECT_EQ(b[3], 0xA5);
    EXPECT_EQ(b[9], 0x0F);
    EXPECT_EQ(b[11], 0x09);
    // AnalogA[1] = 1.5f = 0x3FC00000 at 12 + 4.
    EXPECT_EQ(b[16], 0x00);
    EXPECT_EQ(b[18], 0xC0);
    EXPECT_EQ(b[19], 0x3F);
    // AnalogB[0] = -1.25f = 0xBFA00000 at 36.
    EXPECT_EQ(b[38], 0xA0);
    EXPECT_EQ(b[39], 0xBF);
    EXPECT_EQ(b[60], 0);
    EXPECT_EQ(b[63], 3);
    EXPECT_EQ(b[66], 20);
    EXPECT_EQ(b[73], 3);
    EXPECT_EQ(b[74], 0xDE);
    EXPECT_EQ(b[75], 0xAD);
    // AnalogAlarmLow[0] = 100 at 76; AnalogAlarmHigh[0] = 70000 = 0x00011170 at 100.
    EXPECT_EQ(b[76], 100);
    EXPECT_EQ(b[100], 0x70);
    EXPECT_EQ(b[101], 0x11);
    EXPECT_EQ(b[102], 0x01);
    // TemperAlarmLow[0] = -160 held signed at 124.
    EXPECT_EQ(b[124], 0x60);
    EXPECT_EQ(b[125], 0xFF);
    EXPECT_EQ(b[127], 0xFF);
    EXPECT_EQ(b[148], 250);
    EXPECT_EQ(b[172], 10);
    EXPECT_EQ(b[196], 200);
    EXPECT_EQ(b[216], 205);
    EXPECT_EQ(b[220], 4);
    EXPECT_EQ(b[221], 1);
    EXPECT_EQ(b[222], 0x21);
    EXPECT_EQ(b[223], 0x12);
}

TEST(MonitorConfigCodec, RoundTripKeepsEveryByte)
{
    MonitorConfig::Bytes b{};
    for (std::size_t i = 0; i < b.size(); ++i)
        b[i] = static_cast<std::uint8_t>(i * 7 + 3);
    // Keep the floats finite and not NaN, so the byte identity is a fair claim.
    for (std::size_t at = 12; at < 60; at += 4)
        b[at + 3] = 0x3F;
    EXPECT_EQ(MonitorConfig::decode(b).encode(), b);
}

TEST(MonitorConfigCodec, OverlayOfShortFileReplacesOnlyLeadingBytes)
{
    MonitorConfig c = distinctConfig();
    const std::vector<std::uint8_t> shortFile(100, 0x11);
    c.overlay(shortFile);
    const auto b = c.encode();
    for (std::size_t i = 0; i < 100; ++i)
        EXPECT_EQ(b[i], 0x11) << i;
    const auto before = distinctConfig().encode();
    for (std::size_t i = 100; i < 224; ++i)
        EXPECT_EQ(b[i], before[i]) << i;
}

TEST(MonitorConfigCodec, OverlayIgnoresBytesPast224)
{
    MonitorConfig c;
    std::vector<std::uint8_t> longFile(300, 0x22);
    c.overlay(longFile);
    const auto b = c.encode();
    for (std::uint8_t v : b)
        EXPECT_EQ(v, 0x22);
}

TEST(LoopCodec, MainRecordOffsetsAndFillByte)
{
    UprLoopConfig l;
    l.contactUse = 0x81;
    l.ttlInputUse = 0x02;
    l.analogUse = 0x05;
    l.temperUse = 0x3F;
    l.hostControl = 3;
    l.fill5 = 0x99;
    l.analogLevelLo[0] = -40; // 0xFFD8
    l.analogLevelHi[5] = 0x1234;
    l.temperLevelLo[2] = 300;
    l.temperLevelHi[5] = -1;
    l.contactMode[0] = 1;
    l.contactMode[7] = 1;
    l.ttlInputMode[3] = 1;
    l.analogMode[5] = 1;
    l.temperMode[0] = 1;
    const auto b = l.encode();
    ASSERT_EQ(b.size(), 82u);
    EXPECT_EQ(b[0], 0x81);
    EXPECT_EQ(b[4], 3);
    EXPECT_EQ(b[5], 0x99);
    EXPECT_EQ(b[6], 0xD8);
    EXPECT_EQ(b[7], 0xFF);
    EXPECT_EQ(b[28], 0x34);
    EXPECT_EQ(b[29], 0x12);
    EXPECT_EQ(b[34], 0x2C);
    EXPECT_EQ(b[35], 0x01);
    EXPECT_EQ(b[52], 0xFF);
    EXPECT_EQ(b[53], 0xFF);
    EXPECT_EQ(b[54], 1);
    EXPECT_EQ(b[61], 1);
    EXPECT_EQ(b[65], 1);
    EXPECT_EQ(b[75], 1);
    EXPECT_EQ(b[76], 1);
    const UprLoopConfig back = UprLoopConfig::decode(b);
    EXPECT_EQ(back.encode(), b);
    EXPECT_EQ(back.analogLevelLo[0], -40);
}

TEST(LoopCodec, ClearInputsKeepsModesAndFill)
{
    UprLoopConfig l;
    l.contactUse = 1;
    l.hostControl = 2;
    l.fill5 = 7;
    l.temperLevelHi[3] = 55;
    l.contactMode[2] = 1;
    l.clearInputs();
    EXPECT_EQ(l.contactUse, 0);
    EXPECT_EQ(l.hostControl, 0);
    EXPECT_EQ(l.temperLevelHi[3], 0);
    EXPECT_EQ(l.contactMode[2], 1);
    EXPECT_EQ(l.fill5, 7);
}

TEST(LoopCodec, ExtendedRecordOffsets)
{
    UprLoopConfigExt e;
    e.timerOff = 0x1234;
    e.timerOn = 125;
    e.pulseNumber = 9;
    e.logic = 255;
    e.usbMode = 0x0B;
    e.dimmer = 200;
    e.outputMask = 0x02010010;
    const auto b = e.encode();
    const UprLoopConfigExt::Bytes expected = {0x34, 0x12, 125,  0,    9,    255,
                                              0x0B, 200,  0x10, 0x00, 0x01, 0x02};
    EXPECT_EQ(b, expected);
    EXPECT_EQ(UprLoopConfigExt::decode(b).encode(), b);
}

TEST(LoopFile, SizeFollowsFirmwareVersion)
{
    DeviceImage image;
    EXPECT_EQ(image.loopFileSize(), 2132u);
    image.config.firmwareVersion = 23;
    EXPECT_EQ(image.encodeLoopFile().size(), 2132u);
    image.config.firmwareVersion = 24;
    EXPECT_EQ(image.encodeLoopFile().size(), 2444u);
}

TEST(LoopFile, RecordsInIndexOrderThenExtendedRecords)
{
    DeviceImage image;
    image.config.firmwareVersion = 30;
    image.loop(2).contactUse = 0x55;
    image.loop(26).fill5 = 0x66;
    image.loopExt(1).timerOff = 0x0102;
    image.loopExt(26).outputMask = 0xA0B0C0D0;
    const auto f = image.encodeLoopFile();
    EXPECT_EQ(f[82], 0x55);
    EXPECT_EQ(f[25 * 82 + 5], 0x66);
    EXPECT_EQ(f[2132], 0x02);
    EXPECT_EQ(f[2133], 0x01);
    EXPECT_EQ(f[2132 + 25 * 12 + 8], 0xD0);
    EXPECT_EQ(f[2443], 0xA0);
}

TEST(MonitorStateFlags, FlagNumbersMapToElementBits)
{
    MonitorState s;
    s.systemFlags[4] = 0x01; // element 5, bit 1: flag 33
    s.systemFlags[7] = 0x80; // element 8, bit 8: flag 64
    EXPECT_TRUE(s.flag(33));
    EXPECT_TRUE(s.flag(64));
    EXPECT_FALSE(s.flag(32));
    EXPECT_FALSE(s.flag(34));
    EXPECT_FALSE(s.flag(0));
    EXPECT_FALSE(s.flag(65));
}

TEST(TemperatureScale, KnownCodesOnly)
{
    float scale = 0;
    ASSERT_TRUE(temperatureScale(0, &scale));
    EXPECT_EQ(scale, 0.5f);
    ASSERT_TRUE(temperatureScale(3, &scale));
    EXPECT_EQ(scale, 0.0625f);
    EXPECT_FALSE(temperatureScale(4, &scale));
    EXPECT_FALSE(temperatureScale(-1, &scale));
}

#include "link/protocol.h"

#include <gtest/gtest.h>

using namespace vardex::link;
namespace proto = vardex::link::protocol;

namespace {

Payload page(int n, const MonitorConfig &c)
{
    const auto r = proto::writeConfigPage(n, c);
    EXPECT_TRUE(r);
    return r.payload.value_or(Payload{});
}

Payload reply(int pageNumber)
{
    Payload p{};
    p[pos::Code] = 1;
    p[pos::Sub] = static_cast<std::uint8_t>(pageNumber);
    return p;
}

} // namespace

TEST(ConfigPages, LenValuesAreThoseTheControllerExpects)
{
    const MonitorConfig c;
    EXPECT_EQ(page(0, c)[pos::Len], 10);
    EXPECT_EQ(page(1, c)[pos::Len], 48);
    EXPECT_EQ(page(2, c)[pos::Len], 14);
    EXPECT_EQ(page(3, c)[pos::Len], 48);
    EXPECT_FALSE(proto::writeConfigPage(4, c));
    EXPECT_FALSE(proto::writeConfigPage(-1, c));
}

TEST(ConfigPages, PageZeroReplyCarriesVersionBytesInFront)
{
    Payload r = reply(0);
    for (int i = 0; i < 16; ++i)
        r[6 + i] = static_cast<std::uint8_t>(24 + i);
    MonitorConfig c;
    c.fill74 = {0xAA, 0xBB};
    ASSERT_TRUE(proto::decodeConfigPage(r, c));
    EXPECT_EQ(c.firmwareVersion, 24);
    EXPECT_EQ(c.buildVariant, 25);
    EXPECT_EQ(c.hardwareConfigNumber, 26);
    EXPECT_EQ(c.reserved0, 27);
    EXPECT_EQ(c.contactEnable, 28);
    EXPECT_EQ(c.fanEnable, 35);
    EXPECT_EQ(c.logPeriod, 36);
    EXPECT_EQ(c.dallasLogEnable, 39);
    EXPECT_EQ(c.fill74[0], 0xAA);

    // Written back, the read-only bytes are left out and everything moves down by two.
    const Payload w = page(0, c);
    EXPECT_EQ(w[pos::Code], 9);
    for (int i = 0; i < 14; ++i)
        EXPECT_EQ(w[6 + i], r[8 + i]) << "request position " << 6 + i;
    for (int i = 20; i < 64; ++i)
        EXPECT_EQ(w[i], 0) << "request position " << i;
}

TEST(ConfigPages, ThresholdsTravelAsLow16BitsAndComeBackZeroExtended)
{
    MonitorConfig c;
    c.analogAlarmLow[0] = 70000;
    c.temperAlarmLow[0] = -160;
    c.temperAlarmHigh[5] = 0x12345;
    const Payload w = page(3, c);
    EXPECT_EQ(w[6], 0x70);
    EXPECT_EQ(w[7], 0x11);
    EXPECT_EQ(w[30], 0x60);
    EXPECT_EQ(w[31], 0xFF);
    EXPECT_EQ(w[52], 0x45);
    EXPECT_EQ(w[53], 0x23);

    Payload r = w;
    r[pos::Code] = 1;
    MonitorConfig back;
    ASSERT_TRUE(proto::decodeConfigPage(r, back));
    EXPECT_EQ(back.analogAlarmLow[0], 4464);
    EXPECT_EQ(back.temperAlarmLow[0], 65376);
    EXPECT_EQ(back.temperAlarmHigh[5], 0x2345);
}

TEST(ConfigPages, DebouncesTravelAsLowByteAndComeBackUnsigned)
{
    MonitorConfig c;
    c.analogAlarmDebounce[0] = 300;
    c.dallasAlarmDebounce[5] = 200;
    c.dallasResolution = {0, 1, 2, 3, 3, 2};
    c.fanMin = {10, 20, 30, 40};
    c.fanImpulse = {0, 1, 2, 3};
    const Payload w = page(2, c);
    EXPECT_EQ(w[6 + 3], 3);
    EXPECT_EQ(w[12 + 3], 40);
    EXPECT_EQ(w[16 + 2], 2);
    EXPECT_EQ(w[20], 300 & 0xFF);
    EXPECT_EQ(w[31], 200);
    EXPECT_EQ(w[32], 0); // 26 data bytes although Len says 14

    Payload r = w;
    r[pos::Code] = 1;
    MonitorConfig back;
    ASSERT_TRUE(proto::decodeConfigPage(r, back));
    EXPECT_EQ(back.analogAlarmDebounce[0], 44);
    EXPECT_EQ(back.dallasAlarmDebounce[5], 200); // not -56
    EXPECT_EQ(back.dallasResolution, c.dallasResolution);
    EXPECT_EQ(back.fanMin, c.fanMin);
    EXPECT_EQ(back.fanImpulse, c.fanImpulse);
}

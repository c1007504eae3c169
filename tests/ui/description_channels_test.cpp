#include "description_rig.h"

#include <QScrollBar>

#include <gtest/gtest.h>

using namespace vardex;
using test::DescriptionRig;
using Mask = sim::ConfigPages::Mask;

namespace {

void setMask(DescriptionRig &rig, Mask mask, std::uint8_t value)
{
    rig.transport.withFirmware(rig.id,
                               [&](sim::Firmware &fw) { fw.config().setMask(mask, value); });
}

// Contacts and TTL inputs sit in groups disabled as a whole (they only display);
// their own state is what the description sets.
bool ownEnabled(const QWidget *w)
{
    return w->isEnabledTo(w->parentWidget());
}

} // namespace

TEST(DeviceDescription, EachChannelFollowsItsOwnMaskBit)
{
    DescriptionRig rig;
    link::MonitorConfig c;
    c.firmwareVersion = 23;
    c.buildVariant = 2;
    c.hardwareConfigNumber = 7;
    c.contactEnable = 0x81;
    c.ttlInputEnable = 0x02;
    c.analogEnable = 0x21; // channel 1 and the mains
    c.temperEnable = 0x20;
    c.ttlOutputEnable = 0x80;
    c.switchEnable = 0x12; // high-side 2, low-side 1
    c.relayEnable = 0x04;
    c.fanEnable = 0x08;
    rig.dm.image().config = c;

    rig.window->descriptionReader().showDeviceDescription();
    EXPECT_EQ(rig.panel(1), "v 23");
    EXPECT_EQ(rig.panel(2), "v 2");
    EXPECT_EQ(rig.panel(3), "v 7");
    for (int k = 1; k <= 8; ++k) {
        EXPECT_EQ(ownEnabled(rig.box(QStringLiteral("cbContact%1").arg(k))), k == 1 || k == 8);
        EXPECT_EQ(ownEnabled(rig.box(QStringLiteral("cbDigitInput%1").arg(k))), k == 2);
        EXPECT_EQ(rig.box(QStringLiteral("cbDigitOut%1").arg(k))->isEnabled(), k == 8);
    }
    for (int k = 1; k <= 5; ++k)
        EXPECT_EQ(rig.label(QStringLiteral("stAnalog%1").arg(k))->isEnabled(), k == 1) << k;
    EXPECT_TRUE(rig.label("stPower")->isEnabled());
    for (int k = 1; k <= 6; ++k) {
        EXPECT_EQ(rig.label(QStringLiteral("stTemper%1").arg(k))->isEnabled(), k == 6) << k;
        EXPECT_EQ(rig.box(QStringLiteral("cbRelay%1").arg(k))->isEnabled(), k == 3) << k;
    }
    for (int k = 1; k <= 4; ++k) {
        EXPECT_EQ(rig.box(QStringLiteral("cbHighSwitch%1").arg(k))->isEnabled(), k == 2) << k;
        EXPECT_EQ(rig.box(QStringLiteral("cbLowSwitch%1").arg(k))->isEnabled(), k == 1) << k;
        EXPECT_EQ(rig.label(QStringLiteral("stFanSpeed%1").arg(k))->isEnabled(), k == 4) << k;
        EXPECT_EQ(rig.widget<QScrollBar>(QStringLiteral("FanBar%1").arg(k))->isEnabled(), k == 4);
    }
    // Showing sends nothing.
    EXPECT_TRUE(rig.transport.receivedRequests(rig.id).empty());
}

TEST(DeviceDescription, ChannelLostByTheControllerIsDisabledByTheNextDescription)
{
    DescriptionRig rig;
    rig.describe();
    ASSERT_TRUE(rig.box("cbRelay3")->isEnabled());
    ASSERT_TRUE(rig.label("stTemper2")->isEnabled());
    ASSERT_TRUE(ownEnabled(rig.box("cbContact2")));

    setMask(rig, Mask::RelayEnable, 0x3B);   // relay 3 gone
    setMask(rig, Mask::TemperEnable, 0x3D);  // sensor 2 gone
    setMask(rig, Mask::ContactEnable, 0xFD); // contact 2 gone
    rig.describe();

    EXPECT_FALSE(rig.box("cbRelay3")->isEnabled());
    EXPECT_TRUE(rig.box("cbRelay2")->isEnabled());
    EXPECT_FALSE(rig.label("stTemper2")->isEnabled());
    EXPECT_TRUE(rig.label("stTemper1")->isEnabled());
    EXPECT_FALSE(ownEnabled(rig.box("cbContact2")));
    // The loop page's input rows follow the same masks (their groups wait for a loop).
    EXPECT_FALSE(ownEnabled(rig.box("cbDigitInputUpr2")));
    EXPECT_TRUE(ownEnabled(rig.box("cbDigitInputUpr1")));
    EXPECT_FALSE(ownEnabled(rig.box("cbTemperUpr2")));
}

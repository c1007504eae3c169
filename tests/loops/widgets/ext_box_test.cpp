#include "loops/widgets/ext_box.h"
#include "loops/widgets/loop_page.h"
#include "loops_rig.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QListWidget>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace vardex;
using test::child;
using test::LoopsRig;

namespace {

struct ExtRig : LoopsRig {
    ExtRig()
    {
        page.showUprLoop(1, {});
        child<QPushButton>(page, "UprLoopConfigExtBtn")->click();
    }
    QDoubleSpinBox *edit(const char *name) { return child<QDoubleSpinBox>(page, name); }
    QCheckBox *check(const char *name) { return child<QCheckBox>(page, name); }
    QComboBox *list(const char *name) { return child<QComboBox>(page, name); }
    QListWidget *outputs() { return child<QListWidget>(page, "UprLoopOutCheckListBox"); }

    loops::LoopPage page{ctx};
};

} // namespace

TEST(LoopExtBox, UsbModeBitsShowAndEdit)
{
    ExtRig rig;
    rig.image().loopExt(2).usbMode = 0x0B;
    rig.page.showUprLoop(2, {});
    EXPECT_TRUE(rig.check("UprLoopConfigExtCheckUSBCheckBox")->isChecked());
    EXPECT_EQ(rig.list("UprLoopConfigExtUSBModeBox")->currentIndex(), 1);
    EXPECT_TRUE(rig.check("UprLoopConfigExtCheckPowerUSBCheckBox")->isChecked());
    EXPECT_EQ(rig.list("UprLoopConfigExtPowerUSBModeBox")->currentIndex(), 0);
    rig.check("UprLoopConfigExtCheckUSBCheckBox")->click();
    EXPECT_EQ(rig.image().loopExt(2).usbMode, 0x09);
    EXPECT_FALSE(rig.list("UprLoopConfigExtUSBModeBox")->isEnabled());
    QComboBox *power = rig.list("UprLoopConfigExtPowerUSBModeBox");
    power->setCurrentIndex(1);
    emit power->activated(1);
    EXPECT_EQ(rig.image().loopExt(2).usbMode, 0x0D);
}

TEST(LoopExtBox, AnyLogicValueShowsAsAndAndClicksStoreFullBytes)
{
    ExtRig rig;
    rig.image().loopExt(3).logic = 1;
    rig.page.showUprLoop(3, {});
    QCheckBox *logic = rig.check("UprLoopConfigExtLogictCheckBox");
    EXPECT_TRUE(logic->isChecked());
    logic->click();
    EXPECT_EQ(rig.image().loopExt(3).logic, 0);
    logic->click();
    EXPECT_EQ(rig.image().loopExt(3).logic, 255);
}

TEST(LoopExtBox, OwnOutputIsNeverPartOfTheMask)
{
    ExtRig rig;
    rig.image().loopExt(5).outputMask = 0x10;
    rig.page.showUprLoop(5, {});
    QListWidgetItem *own = rig.outputs()->item(4);
    EXPECT_EQ(own->text(), QStringLiteral("TTL_выход_5"));
    EXPECT_EQ(own->checkState(), Qt::Unchecked);
    EXPECT_FALSE(own->flags().testFlag(Qt::ItemIsEnabled));
    QListWidgetItem *relay1 = rig.outputs()->item(16);
    EXPECT_EQ(relay1->text(), QStringLiteral("Реле_1"));
    relay1->setCheckState(Qt::Checked);
    EXPECT_EQ(rig.image().loopExt(5).outputMask, 0x10000u);
}

TEST(LoopExtBox, DisabledOutputsAreShownUncheckedAndDropped)
{
    ExtRig rig;
    rig.image().config.relayEnable = 0x01;
    rig.image().loopExt(1).outputMask = (1u << 17) | (1u << 28) | 0x02;
    rig.page.showUprLoop(1, {});
    QListWidgetItem *relay2 = rig.outputs()->item(17);
    EXPECT_FALSE(relay2->flags().testFlag(Qt::ItemIsEnabled));
    EXPECT_EQ(relay2->checkState(), Qt::Unchecked);
    EXPECT_EQ(rig.outputs()->item(1)->checkState(), Qt::Checked);
    // Showing only displays; the first user change rebuilds the whole mask.
    EXPECT_EQ(rig.image().loopExt(1).outputMask, (1u << 17) | (1u << 28) | 0x02);
    rig.outputs()->item(2)->setCheckState(Qt::Checked);
    EXPECT_EQ(rig.image().loopExt(1).outputMask, 0x06u);
}

TEST(LoopExtBox, TimersRoundHalfToEven)
{
    ExtRig rig;
    const std::pair<const char *, int> cases[] = {{"12.34", 12}, {"12.5", 12}, {"13.5", 14}};
    for (const auto &[text, stored] : cases) {
        test::typeAndCommit(rig.edit("UprLoopConfigExtTimerOnEdit"), QString::fromUtf8(text));
        EXPECT_EQ(rig.image().loopExt(1).timerOn, stored) << text;
    }
    test::typeAndCommit(rig.edit("UprLoopConfigExtTimerOffEdit"), QStringLiteral("900"));
    EXPECT_EQ(rig.image().loopExt(1).timerOff, 600);
}

TEST(LoopExtBox, PulseCountKeepsWholePulses)
{
    ExtRig rig;
    QDoubleSpinBox *pulses = rig.edit("UprLoopConfigExtPulseNumberEdit");
    test::typeAndCommit(pulses, QStringLiteral("3.7"));
    EXPECT_EQ(rig.image().loopExt(1).pulseNumber, 3);
    EXPECT_EQ(pulses->text(), QStringLiteral("3"));
}

TEST(LoopExtBox, DimmerIsClampedToAByte)
{
    ExtRig rig;
    QDoubleSpinBox *dimmer = rig.edit("UprLoopConfigExtDimmerEdit");
    test::typeAndCommit(dimmer, QStringLiteral("300"));
    EXPECT_EQ(dimmer->text(), QStringLiteral("255"));
    EXPECT_EQ(rig.image().loopExt(1).dimmer, 255);
}

TEST(LoopExtBox, EntriesAreClampedWhileTyping)
{
    ExtRig rig;
    QDoubleSpinBox *dimmer = rig.edit("UprLoopConfigExtDimmerEdit");
    test::typeText(dimmer, QStringLiteral("300"));
    EXPECT_EQ(dimmer->text(), QStringLiteral("255"));
    EXPECT_EQ(rig.image().loopExt(1).dimmer, 255); // every change stores
    QDoubleSpinBox *timer = rig.edit("UprLoopConfigExtTimerOffEdit");
    test::typeText(timer, QStringLiteral("900"));
    EXPECT_EQ(timer->text(), QStringLiteral("600"));
    EXPECT_EQ(rig.image().loopExt(1).timerOff, 0); // the timer stores on leaving
}

TEST(LoopExtBox, ShowingLoopsNeverChangesTheirDimmer)
{
    ExtRig rig;
    for (int n = 1; n <= 26; ++n)
        rig.image().loopExt(n).dimmer = static_cast<std::uint8_t>(n * 9);
    rig.image().config.relayEnable = 0; // some loops disabled as well
    for (int n = 1; n <= 26; ++n)
        rig.page.showUprLoop(n, {});
    rig.page.setCurrentLoop(0);
    rig.page.showUprLoop(7, {});
    for (int n = 1; n <= 26; ++n)
        EXPECT_EQ(rig.image().loopExt(n).dimmer, n * 9) << n;
    EXPECT_FALSE(rig.check("UprLoopConfigExtReservCheckBox")->isVisibleTo(&rig.page));
}

TEST(LoopExtBox, TypedValueStaysWithItsLoop)
{
    ExtRig rig;
    QDoubleSpinBox *off = rig.edit("UprLoopConfigExtTimerOffEdit");
    // Typed for loop 1 but not yet left when the tree selects loop 2.
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("4"));
    QKeyEvent selectAll(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier);
    QApplication::sendEvent(off, &selectAll);
    QApplication::sendEvent(off, &press);
    rig.page.setCurrentLoop(2);
    rig.page.showUprLoop(2, {});
    EXPECT_EQ(rig.image().loopExt(1).timerOff, 4);
    EXPECT_EQ(rig.image().loopExt(2).timerOff, 0);
}

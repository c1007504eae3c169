#include "link/protocol.h"
#include "loops/widgets/ext_box.h"
#include "loops/widgets/loop_page.h"
#include "loops_rig.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace vardex;
using test::child;
using test::LoopsRig;

namespace {

const QString kVerifyFailed = QStringLiteral("Ошибка верификации конфигурации контура ");

QPushButton *button(const QWidget &page, const char *name)
{
    return child<QPushButton>(page, QLatin1String(name));
}

QDoubleSpinBox *edit(const QWidget &page, const QString &name)
{
    return child<QDoubleSpinBox>(page, name);
}

QCheckBox *check(const QWidget &page, const QString &name)
{
    return child<QCheckBox>(page, name);
}

} // namespace

TEST(LoopPage, LowSideLoopIsEditableOnlyWithItsSwitchBit)
{
    LoopsRig rig;
    loops::LoopPage page(rig.ctx);
    rig.image().config.switchEnable = 0x0F; // high-side switches only
    page.showUprLoop(13, QStringLiteral("Ключ_1"));
    EXPECT_FALSE(check(page, "cbDigitInputUpr1")->isEnabled());
    EXPECT_FALSE(button(page, "WriteCurentUprLoopConfigBtn")->isEnabled());
    EXPECT_FALSE(button(page, "ReadCurentUprLoopConfigBtn")->isEnabled());
    rig.image().config.switchEnable = 0x10;
    page.showUprLoop(13, QStringLiteral("Ключ_1"));
    EXPECT_TRUE(check(page, "cbDigitInputUpr1")->isEnabled());
    EXPECT_TRUE(button(page, "WriteCurentUprLoopConfigBtn")->isEnabled());
    EXPECT_TRUE(page.loopOutputEnabled(13));
    EXPECT_FALSE(page.loopOutputEnabled(12));
}

TEST(LoopPage, ExtendedButtonNeedsFirmware24AndTheLoopsOutput)
{
    LoopsRig rig;
    loops::LoopPage page(rig.ctx);
    QPushButton *ext = button(page, "UprLoopConfigExtBtn");
    rig.image().config.firmwareVersion = 23;
    for (int n : {1, 13, 26}) {
        page.showUprLoop(n, {});
        EXPECT_FALSE(ext->isEnabled()) << n;
    }
    rig.image().config.firmwareVersion = 24;
    page.showUprLoop(1, {});
    EXPECT_TRUE(ext->isEnabled());
    rig.image().config.ttlOutputEnable = 0xFE;
    page.showUprLoop(1, {});
    EXPECT_FALSE(ext->isEnabled());
    page.showUprLoop(2, {});
    EXPECT_TRUE(ext->isEnabled());
    // A configuration of older firmware arriving later disables it at once.
    rig.image().config.firmwareVersion = 0;
    page.updateExtendedAvailability();
    EXPECT_FALSE(ext->isEnabled());
}

TEST(LoopPage, AnalogLevelIsTruncatedAndShownBack)
{
    LoopsRig rig;
    rig.image().config.analogA[2] = 0.1f;
    rig.image().config.analogB[2] = -1.0f;
    loops::LoopPage page(rig.ctx);
    page.showUprLoop(1, {});
    test::typeAndCommit(edit(page, "AnalogLevelHiEdit3"), QStringLiteral("11.99"));
    EXPECT_EQ(rig.image().loop(1).analogLevelHi[2], 129);
    page.showUprLoop(1, {});
    EXPECT_EQ(edit(page, "AnalogLevelHiEdit3")->text(), QStringLiteral("11.9"));
}

TEST(LoopPage, NegativeTemperatureLevelIsStoredSigned)
{
    LoopsRig rig;
    rig.image().config.dallasResolution[1] = 1; // 0.25 degrees per unit
    loops::LoopPage page(rig.ctx);
    page.showUprLoop(1, {});
    test::typeAndCommit(edit(page, "TemperLevelLoEdit2"), QStringLiteral("-10"));
    EXPECT_EQ(rig.image().loop(1).temperLevelLo[1], -40);
    EXPECT_EQ(rig.image().loop(1).encode()[32], 0xD8);
    page.showUprLoop(1, {});
    EXPECT_EQ(edit(page, "TemperLevelLoEdit2")->text(), QStringLiteral("-10"));
    // Out of range typing is clamped to the edit's range before converting.
    test::typeAndCommit(edit(page, "TemperLevelHiEdit2"), QStringLiteral("200"));
    EXPECT_EQ(rig.image().loop(1).temperLevelHi[1], 500);
}

TEST(LoopPage, TemperatureLevelIsClampedWhileTypingAndStoredOnLeaving)
{
    LoopsRig rig;
    loops::LoopPage page(rig.ctx);
    page.showUprLoop(1, {});
    QDoubleSpinBox *high = edit(page, "TemperLevelHiEdit1");
    test::typeText(high, QStringLiteral("200"));
    EXPECT_EQ(high->text(), QStringLiteral("125"));
    EXPECT_EQ(rig.image().loop(1).temperLevelHi[0], 0); // not before leaving
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(high, &enter);
    EXPECT_EQ(rig.image().loop(1).temperLevelHi[0], 250);
    test::typeText(edit(page, "TemperLevelLoEdit1"), QStringLiteral("-55"));
    EXPECT_EQ(edit(page, "TemperLevelLoEdit1")->text(), QStringLiteral("-40"));
    // Analog levels only clamp on leaving.
    test::typeText(edit(page, "AnalogLevelHiEdit1"), QStringLiteral("40000"));
    EXPECT_EQ(edit(page, "AnalogLevelHiEdit1")->text(), QStringLiteral("40000"));
}

TEST(LoopPage, LeavingAnUntouchedLevelKeepsItsRawCode)
{
    LoopsRig rig;
    rig.image().config.analogA[0] = 0.1f;
    rig.image().config.analogB[0] = -1.0f;
    rig.image().loop(1).analogLevelLo[0] = 129; // shows 11.9, which converts back to 128
    loops::LoopPage page(rig.ctx);
    page.showUprLoop(1, {});
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(edit(page, "AnalogLevelLoEdit1"), &enter);
    EXPECT_EQ(rig.image().loop(1).analogLevelLo[0], 129);
}

TEST(LoopPage, DisabledLoopShowsEmptyButKeepsItsRecord)
{
    LoopsRig rig;
    rig.image().config.ttlOutputEnable = 0x01; // loop 2's output is off
    link::UprLoopConfig &l2 = rig.image().loop(2);
    l2.contactUse = 0x81;
    l2.hostControl = 3;
    l2.analogLevelHi[0] = 500;
    l2.contactMode[0] = 1;
    const auto before = l2.encode();
    loops::LoopPage page(rig.ctx);
    page.showUprLoop(2, {});
    EXPECT_FALSE(check(page, "cbDigitInputUpr1")->isChecked());
    EXPECT_FALSE(check(page, "cbProgUpr1")->isChecked());
    EXPECT_EQ(edit(page, "AnalogLevelHiEdit1")->value(), 0.0);
    EXPECT_EQ(child<QComboBox>(page, "cbDigitInputUprMode1")->currentIndex(), 0);
    EXPECT_FALSE(check(page, "cbDigitInputUpr1")->isEnabled());
    EXPECT_FALSE(button(page, "WriteCurentUprLoopConfigBtn")->isEnabled());
    // Editing another loop leaves loop 2 as it was.
    page.showUprLoop(1, {});
    check(page, "cbDigitInputUpr3")->click();
    EXPECT_EQ(rig.image().loop(1).contactUse, 0x04);
    EXPECT_EQ(rig.image().loop(2).encode(), before);
}

TEST(LoopPage, ModeByteOutsideTheListShowsNoItem)
{
    LoopsRig rig;
    link::UprLoopConfig &l = rig.image().loop(1);
    l.contactMode[0] = 2;
    l.ttlInputMode[1] = 1;
    l.analogMode[2] = 255;
    l.temperMode[3] = 7;
    loops::LoopPage page(rig.ctx);
    page.showUprLoop(1, {});
    EXPECT_EQ(child<QComboBox>(page, "cbDigitInputUprMode1")->currentIndex(), -1);
    EXPECT_EQ(child<QComboBox>(page, "cbTTLInputUprMode2")->currentIndex(), 1);
    EXPECT_EQ(child<QComboBox>(page, "AnalogModeEdit3")->currentIndex(), -1);
    EXPECT_EQ(child<QComboBox>(page, "TemperModeEdit4")->currentIndex(), -1);
    EXPECT_EQ(child<QComboBox>(page, "TemperModeEdit1")->currentIndex(), 0);
    EXPECT_EQ(rig.image().loop(1).analogMode[2], 255); // showing only displays
}

TEST(LoopPage, HandlersDoNothingWithoutACurrentLoop)
{
    LoopsRig rig;
    loops::LoopPage page(rig.ctx);
    page.showUprLoop(4, {});
    page.setCurrentLoop(0); // the tree moved to the root node
    check(page, "cbTTLInputUpr2")->click();
    check(page, "cbProgUpr2")->click();
    test::typeAndCommit(edit(page, "AnalogLevelLoEdit1"), QStringLiteral("7"));
    EXPECT_EQ(rig.image().loop(4).encode(), link::UprLoopConfig{}.encode());
    EXPECT_EQ(page.currentLoop(), 0);
}

TEST(LoopPage, EditsGoToTheRecordAtOnce)
{
    LoopsRig rig;
    loops::LoopPage page(rig.ctx);
    page.showUprLoop(17, {});
    check(page, "cbTTLInputUpr8")->click();
    check(page, "cbProgUpr2")->click();
    check(page, "cbTemperUpr6")->click();
    auto *mode = child<QComboBox>(page, "AnalogModeEdit5");
    mode->setCurrentIndex(1);
    emit mode->activated(1);
    const link::UprLoopConfig &l = rig.image().loop(17);
    EXPECT_EQ(l.ttlInputUse, 0x80);
    EXPECT_EQ(l.hostControl, 2);
    EXPECT_EQ(l.temperUse, 0x20);
    EXPECT_EQ(l.analogMode[4], 1);
    check(page, "cbTTLInputUpr8")->click();
    EXPECT_EQ(l.ttlInputUse, 0);
}

TEST(LoopPage, EnableLoopInputsFollowsTheInputMasks)
{
    LoopsRig rig;
    loops::LoopPage page(rig.ctx);
    page.showUprLoop(1, {});
    rig.image().config.contactEnable = 0x02;
    rig.image().config.analogEnable = 0x20;
    page.enableLoopInputs();
    EXPECT_FALSE(check(page, "cbDigitInputUpr1")->isEnabled());
    EXPECT_TRUE(check(page, "cbDigitInputUpr2")->isEnabled());
    EXPECT_FALSE(child<QComboBox>(page, "cbDigitInputUprMode1")->isEnabled());
    EXPECT_TRUE(edit(page, "AnalogLevelHiEdit6")->isEnabled());
    EXPECT_FALSE(edit(page, "AnalogLevelHiEdit5")->isEnabled());
    // The next show enables every row of an enabled loop again.
    page.showUprLoop(1, {});
    EXPECT_TRUE(check(page, "cbDigitInputUpr1")->isEnabled());
}

TEST(LoopPage, WriteIsVerifiedAgainstTheControllersCopy)
{
    LoopsRig rig;
    ASSERT_TRUE(rig.connected);
    loops::LoopPage page(rig.ctx);
    page.showUprLoop(3, {});
    check(page, "cbDigitInputUpr5")->click();
    test::typeAndCommit(edit(page, "TemperLevelHiEdit1"), QStringLiteral("60"));
    rig.image().loopExt(3).timerOn = 77;
    button(page, "WriteCurentUprLoopConfigBtn")->click();
    EXPECT_TRUE(rig.prompts.messages.isEmpty()) << rig.prompts.messages.join('|').toStdString();
    rig.transport.withFirmware(rig.id, [](sim::Firmware &fw) {
        EXPECT_EQ(fw.loop(3).contactUse, 0x10);
        EXPECT_EQ(fw.loop(3).temperHi[0], 120);
        EXPECT_EQ(fw.loopExt(3)[2], 77);
    });
    EXPECT_EQ(rig.received(7, 1).size(), 1u);
}

TEST(LoopPage, FailedVerificationSkipsTheExtendedRecord)
{
    LoopsRig rig;
    ASSERT_TRUE(rig.connected);
    loops::LoopPage page(rig.ctx);
    page.showUprLoop(3, {});
    rig.transport.addFault(rig.id, {sim::Fault::Kind::CorruptLoop, 7, 3, 0});
    button(page, "WriteCurentUprLoopConfigBtn")->click();
    ASSERT_EQ(rig.prompts.messages.size(), 1);
    EXPECT_EQ(rig.prompts.messages[0], kVerifyFailed);
    EXPECT_EQ(rig.received(7, 0).size(), 1u);
    EXPECT_TRUE(rig.received(7, 1).empty());
}

TEST(LoopPage, QueuedWriteKeepsTheLoopOfThePress)
{
    LoopsRig rig;
    ASSERT_TRUE(rig.connected);
    loops::LoopPage page(rig.ctx);
    page.showUprLoop(5, {});
    // The press comes while a poll holds the link; the user then selects loop 6.
    rig.dm.runOperation([&](link::OperationContext &) {
        button(page, "WriteCurentUprLoopConfigBtn")->click();
        button(page, "ReadCurentUprLoopConfigBtn")->click();
        page.showUprLoop(6, {});
        EXPECT_TRUE(rig.received(7).empty()); // nothing interleaves with the running operation
    });
    for (const auto &p : rig.received(7))
        EXPECT_EQ(p[link::pos::Sub], 5);
    for (const auto &p : rig.received(32))
        EXPECT_EQ(p[link::pos::Sub], 0x00); // 4096 + 64*4 = 0x1100
    const auto reads = rig.received(6);
    ASSERT_EQ(reads.size(), 4u); // the write's read-back, then the read
    for (const auto &p : reads)
        EXPECT_EQ(p[link::pos::Sub], 5);
    EXPECT_EQ(rig.received(7).size(), 2u);
}

TEST(LoopPage, ReadLandsInTheImageWithoutRefreshingThePage)
{
    LoopsRig rig;
    ASSERT_TRUE(rig.connected);
    rig.transport.withFirmware(rig.id, [](sim::Firmware &fw) {
        sim::LoopRecord r = fw.loop(8);
        r.ttlInputUse = 0x33;
        fw.setLoop(8, r);
    });
    loops::LoopPage page(rig.ctx);
    page.showUprLoop(8, {});
    button(page, "ReadCurentUprLoopConfigBtn")->click();
    EXPECT_EQ(rig.image().loop(8).ttlInputUse, 0x33);
    EXPECT_FALSE(check(page, "cbTTLInputUpr1")->isChecked());
    page.showUprLoop(8, {});
    EXPECT_TRUE(check(page, "cbTTLInputUpr1")->isChecked());
}

TEST(LoopPage, ExtendedButtonTogglesTheBox)
{
    LoopsRig rig;
    loops::LoopPage page(rig.ctx);
    page.showUprLoop(1, {});
    QPushButton *ext = button(page, "UprLoopConfigExtBtn");
    ext->click();
    EXPECT_FALSE(page.extendedBox()->isHidden());
    EXPECT_EQ(page.extendedBox()->size(), QSize(616, 450));
    EXPECT_EQ(ext->text(), QStringLiteral("Свернуть"));
    page.showUprLoop(2, {}); // stays open across loops
    EXPECT_FALSE(page.extendedBox()->isHidden());
    ext->click();
    EXPECT_TRUE(page.extendedBox()->isHidden());
    EXPECT_EQ(ext->text(), QStringLiteral("Дополнительно"));
    ext->click();
    page.closeExtendedBox();
    EXPECT_TRUE(page.extendedBox()->isHidden());
    EXPECT_EQ(ext->text(), QStringLiteral("Дополнительно"));
}

TEST(LoopPage, UnknownResolutionCodeReadsLikeTheConfigurationPage)
{
    LoopsRig rig;
    rig.image().config.dallasResolution[0] = 9; // only a hand-made file holds this
    rig.image().loop(1).temperLevelHi[0] = 20;
    loops::LoopPage page(rig.ctx);
    page.showUprLoop(1, {});
    EXPECT_EQ(edit(page, "TemperLevelHiEdit1")->text(), QStringLiteral("10"));
    test::typeAndCommit(edit(page, "TemperLevelLoEdit1"), QStringLiteral("-5"));
    EXPECT_EQ(rig.image().loop(1).temperLevelLo[0], -10);
}

TEST(LoopPage, CommaIsTakenAsTheDecimalPoint)
{
    LoopsRig rig;
    loops::LoopPage page(rig.ctx);
    page.showUprLoop(1, {});
    test::typeAndCommit(edit(page, "AnalogLevelHiEdit2"), QStringLiteral("2,5"));
    EXPECT_EQ(rig.image().loop(1).analogLevelHi[1], 2); // 2.5 / 1 truncated
    EXPECT_EQ(edit(page, "AnalogLevelHiEdit2")->text(), QStringLiteral("2.5"));
}

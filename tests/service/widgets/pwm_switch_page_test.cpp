#include "link/protocol.h"
#include "loops/loop_transfer.h"
#include "service/widgets/pwm_switch_page.h"
#include "support/page_rig.h"
#include "work/description_transfer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QSpinBox>
#include <QTimer>

#include <gtest/gtest.h>

using vardex::service::PwmSwitchPage;
using vardex::test::PageRig;

namespace {

// A page on a plugged simulated controller, its own timer stopped so that the test
// decides when the sweep ticks.
struct SweepRig {
    explicit SweepRig(vardex::sim::Firmware fw = vardex::sim::fullControllerFirmware24())
        : rig(std::move(fw)), page(rig.ctx)
    {
        page.timer().stop();
    }

    // The description read as the window runs it, its result told to the page.
    void describe()
    {
        vardex::work::DescriptionTimings quick;
        quick.configPage3Ms = quick.loopRecordMs = quick.identityMs = 150;
        quick.identityPauseMs = 10;
        vardex::link::DescriptionResult result;
        rig.dm.runOperation([&](vardex::link::OperationContext &ctx) {
            result = vardex::work::readDescription(ctx, quick, [] { return true; });
        });
        page.onDescriptionRead(result);
        rig.transport.clearReceivedRequests(rig.id);
    }

    template <typename T> T *child(const char *name)
    {
        return page.findChild<T *>(QLatin1String(name));
    }
    std::array<std::uint8_t, 12> simExt(int n)
    {
        std::array<std::uint8_t, 12> ext{};
        rig.transport.withFirmware(rig.id, [&](vardex::sim::Firmware &f) { ext = f.loopExt(n); });
        return ext;
    }

    PageRig rig;
    PwmSwitchPage page;
};

} // namespace

TEST(PwmSwitchPage, SweepTimerRunsFromStartUpEveryHalfSecond)
{
    PageRig rig;
    PwmSwitchPage page(rig.ctx);
    EXPECT_TRUE(page.timer().isActive());
    EXPECT_EQ(page.timer().interval(), 500);
    EXPECT_EQ(page.timer().objectName(), QStringLiteral("PWMSwitchTimer"));
}

// The limits follow the spin edits only when their shown value changes.
TEST(PwmSwitchPage, ChoosingThirtyTwoStepsWith128And0ShownMovesOnlyTheMaximum)
{
    SweepRig r;
    r.page.tick(); // level 0, rising: the minimum's handler would move it to 2
    r.child<QComboBox>("cbPWMSwitchStep")->setCurrentIndex(0);
    auto *max = r.child<QSpinBox>("PWMMaxSpinEdit");
    auto *min = r.child<QSpinBox>("PWMMinSpinEdit");
    EXPECT_EQ(max->maximum(), 32);
    EXPECT_EQ(max->value(), 32);
    EXPECT_EQ(min->maximum(), 22);
    EXPECT_EQ(min->value(), 0);
    EXPECT_EQ(r.page.sweep().stepCount(), 32);
    EXPECT_EQ(r.page.sweep().maximum(), 32);
    EXPECT_EQ(r.page.sweep().minimum(), 0);
    EXPECT_EQ(r.page.sweep().level(), 30);
    EXPECT_EQ(r.page.timer().interval(), 500); // a step change keeps the interval
}

TEST(PwmSwitchPage, RampSecondsSetTheTickIntervalAndRestartTheLevel)
{
    SweepRig r;
    auto *seconds = r.child<QSpinBox>("PWMSwitchTimerEdit");
    seconds->setValue(17);
    EXPECT_EQ(r.page.timer().interval(), 132); // 17000 / 128
    seconds->setValue(16);
    EXPECT_EQ(r.page.timer().interval(), 125);
    EXPECT_EQ(r.page.sweep().level(), 1);
}

TEST(PwmSwitchPage, OnlyBoxFiveRewritesLoopThirteenAtTheController)
{
    SweepRig r;
    ASSERT_TRUE(r.rig.connected);
    r.describe();
    std::array<std::array<std::uint8_t, 12>, 27> before{};
    for (int n = 9; n <= 16; ++n)
        before[std::size_t(n)] = r.simExt(n);
    r.child<QCheckBox>("PWMSwitchCheckBox5")->setChecked(true);
    for (int i = 0; i < 3; ++i)
        r.page.tick(); // levels 0, 1, 2

    const auto writes = r.rig.received(vardex::link::protocol::code::WriteLoop);
    ASSERT_EQ(writes.size(), 3u);
    for (const auto &w : writes) {
        EXPECT_EQ(w[vardex::link::pos::Sub], 13);
        EXPECT_EQ(w[vardex::link::pos::Arg1], int(vardex::link::protocol::LoopRecord::Extended));
    }
    auto expected = before[13];
    expected[7] = 2; // the dimmer byte of the extended record
    EXPECT_EQ(r.simExt(13), expected);
    for (int n : {9, 10, 11, 12, 14, 15, 16})
        EXPECT_EQ(r.simExt(n), before[std::size_t(n)]) << n;
}

TEST(PwmSwitchPage, LoopsAreRewrittenOnlyOnceReadSoTheirOtherSettingsStay)
{
    vardex::sim::Firmware fw = vardex::sim::fullControllerFirmware24();
    // Loop 9 switches with timers, a pulse count, logic and outputs of its own.
    const std::array<std::uint8_t, 12> own = {0x34, 0x12, 0x78, 0x56, 3, 1,
                                              2,    200,  0x0F, 0,    0, 0x80};
    fw.setLoopExt(9, own);
    SweepRig r(std::move(fw));
    r.child<QCheckBox>("PWMSwitchCheckBox1")->setChecked(true);
    r.page.tick();
    r.page.tick();
    EXPECT_EQ(r.page.sweep().level(), 1); // the sweep runs all the same
    EXPECT_TRUE(r.rig.received(vardex::link::protocol::code::WriteLoop).empty());
    EXPECT_EQ(r.simExt(9), own);
    EXPECT_FALSE(r.child<QLabel>("PWMSwitchWaitLabel")->isHidden());

    r.describe();
    EXPECT_TRUE(r.child<QLabel>("PWMSwitchWaitLabel")->isHidden());
    r.page.tick();
    ASSERT_EQ(r.rig.received(vardex::link::protocol::code::WriteLoop).size(), 1u);
    auto expected = own;
    expected[7] = 2; // only the dimmer byte follows the sweep
    EXPECT_EQ(r.simExt(9), expected);

    // A controller that goes away takes its loops with it.
    r.page.onConnectionChanged(false);
    r.page.tick();
    EXPECT_EQ(r.rig.received(vardex::link::protocol::code::WriteLoop).size(), 1u);
}

TEST(PwmSwitchPage, TickSkipsWhileAnotherOperationHoldsTheLink)
{
    SweepRig r;
    r.describe();
    r.child<QCheckBox>("PWMSwitchCheckBox1")->setChecked(true);
    r.rig.dm.runOperation([&](vardex::link::OperationContext &) { r.page.tick(); });
    EXPECT_EQ(r.page.sweep().level(), 1); // not moved
    EXPECT_TRUE(r.rig.received(vardex::link::protocol::code::WriteLoop).empty());
    EXPECT_EQ(r.rig.statusBar.panelText(5),
              QStringLiteral("Подсветка: шаг пропущен — канал связи занят"));
    r.page.tick();
    EXPECT_EQ(r.page.sweep().level(), 0);
    EXPECT_EQ(r.rig.received(vardex::link::protocol::code::WriteLoop).size(), 1u);
    EXPECT_TRUE(r.rig.statusBar.panelText(5).isEmpty());
}

// The write of all loops gives the link to others between two loops. A sweep step there
// would change loop 9's extended record in the middle of the transfer: the write would
// send a half-changed set or fail its own read-back. It waits instead, and says so.
TEST(PwmSwitchPage, DuringAWriteOfAllLoopsTheSweepChangesNoLoop)
{
    SweepRig r;
    r.describe();
    r.child<QCheckBox>("PWMSwitchCheckBox1")->setChecked(true);
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] { r.page.tick(); });
    vardex::link::WriteCheck check;
    int levelAtTheEnd = -1;
    QString hintAtTheEnd;
    r.rig.dm.runOperation([&](vardex::link::OperationContext &ctx) {
        ticker.start();
        check = vardex::loops::writeAllLoopsChecked(ctx);
        ticker.stop();
        // A tick held for the step after the last one runs once the write is over.
        levelAtTheEnd = r.page.sweep().level();
        hintAtTheEnd = r.rig.statusBar.panelText(5);
    });
    EXPECT_TRUE(check.result.ok()) << check.result.message.toStdString();
    EXPECT_TRUE(check.differing.empty());
    EXPECT_EQ(levelAtTheEnd, 1); // not moved
    EXPECT_EQ(hintAtTheEnd,
              QStringLiteral("Подсветка: шаг пропущен — идёт чтение или запись контуров"));
}

TEST(PwmSwitchPage, WithoutAControllerTheLevelMovesAndNothingIsSent)
{
    SweepRig r;
    r.rig.transport.unplug(r.rig.id);
    ASSERT_TRUE(vardex::test::waitUntil([&] { return !r.rig.dm.hasDevice(); }));
    r.rig.transport.clearReceivedRequests(r.rig.id);
    for (int n = 1; n <= 8; ++n)
        r.child<QCheckBox>(QStringLiteral("PWMSwitchCheckBox%1").arg(n).toLatin1().constData())
            ->setChecked(true);
    r.page.tick();
    r.page.tick();
    EXPECT_EQ(r.page.sweep().level(), 1);
    EXPECT_TRUE(r.rig.received(vardex::link::protocol::code::WriteLoop).empty());
    EXPECT_EQ(r.rig.image().loopExt(16).dimmer, 1);
}

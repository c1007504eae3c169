#include "work/widgets/work_polling.h"
#include "work_test_rig.h"

#include <QThread>

#include <gtest/gtest.h>

using namespace vardex;
using test::WorkRig;

namespace {

// Records each polling cycle's end and the timer's remaining time at that moment.
struct CycleLog {
    struct End {
        bool answered;
        qint64 elapsedMs;
        bool restarted;
        int remainingMs;
    };
    std::vector<End> ends;

    explicit CycleLog(WorkRig &rig)
    {
        QTimer *timer = &rig.page->askTimer();
        QObject::connect(&rig.page->polling(), &ui::WorkPolling::cycleEnded,
                         [this, timer](bool answered, qint64 ms, bool restarted) {
                             ends.push_back({answered, ms, restarted, timer->remainingTime()});
                         });
    }
};

} // namespace

TEST(WorkPolling, PageUsesTheMainWindowsAskTimer)
{
    WorkRig rig;
    EXPECT_EQ(&rig.page->askTimer(), rig.window->timer("AskTimer"));
    EXPECT_EQ(rig.page->askTimer().interval(), 1000);
}

TEST(WorkPolling, SwitchTogglesTimerCaptionAndLook)
{
    WorkRig rig;
    rig.enableButtons();
    QPushButton *ask = rig.page->askStateButton();
    EXPECT_EQ(ask->text(), "Выкл");
    ask->click();
    EXPECT_TRUE(rig.page->askTimer().isActive());
    EXPECT_EQ(ask->text(), "Вкл");
    EXPECT_TRUE(test::isActiveLook(ask));
    EXPECT_TRUE(ask->isChecked());
    ask->click();
    EXPECT_FALSE(rig.page->askTimer().isActive());
    EXPECT_EQ(ask->text(), "Выкл");
    EXPECT_TRUE(test::isPlainLook(ask));
}

TEST(WorkPolling, TimerDecidesNotThePressedLook)
{
    WorkRig rig;
    rig.enableButtons();
    QPushButton *ask = rig.page->askStateButton();
    ask->click();
    rig.page->askTimer().stop(); // as a removal does; the button still looks pressed
    ASSERT_TRUE(ask->isChecked());
    ask->click();
    EXPECT_TRUE(rig.page->askTimer().isActive());
    EXPECT_EQ(ask->text(), "Вкл");
}

TEST(WorkPolling, SingleReadShowsStateAfterBothReplies)
{
    WorkRig rig;
    ASSERT_TRUE(rig.connected);
    rig.enableButtons();
    rig.transport.withFirmware(rig.id, [](sim::Firmware &f) { f.setContacts(0x81); });
    rig.page->workStateButton()->click();
    ASSERT_TRUE(test::waitUntil([&] { return rig.box("cbContact8")->isChecked(); }));
    EXPECT_TRUE(rig.box("cbContact1")->isChecked());
    EXPECT_EQ(rig.requestCount(2, 0), 1);
    EXPECT_EQ(rig.requestCount(2, 1), 1);
    EXPECT_EQ(rig.requestCount(4), 0); // no clock on a single read
}

TEST(WorkPolling, SingleReadWithoutFlagsReplyShowsNothing)
{
    WorkRig rig;
    ASSERT_TRUE(rig.connected);
    rig.enableButtons();
    rig.transport.withFirmware(rig.id, [](sim::Firmware &f) { f.setContacts(0x81); });
    rig.transport.addFault(rig.id, {sim::Fault::Kind::Drop, 2, 1, 0});
    rig.page->workStateButton()->click();
    ASSERT_TRUE(test::waitUntil([&] { return !rig.dm.isBusy(); }));
    EXPECT_EQ(rig.dm.image().state.contactInputs, 0x81); // the first reply was stored
    EXPECT_FALSE(rig.box("cbContact1")->isChecked());
    EXPECT_TRUE(rig.prompts.messages.isEmpty());
}

TEST(WorkPolling, ClockAnsweredButNoFlagsLeavesPageAndCaption)
{
    WorkRig rig;
    ASSERT_TRUE(rig.connected);
    rig.enableButtons();
    CycleLog log(rig);
    rig.transport.withFirmware(rig.id, [](sim::Firmware &f) { f.setContacts(0x81); });
    rig.transport.addFault(rig.id, {sim::Fault::Kind::Drop, 2, 1, 0});
    rig.page->askStateButton()->click();
    ASSERT_TRUE(test::waitUntil([&] { return !log.ends.empty(); }, 4000));
    EXPECT_FALSE(log.ends[0].answered);
    EXPECT_EQ(rig.requestCount(4), 1);
    EXPECT_FALSE(rig.box("cbContact1")->isChecked());
    EXPECT_EQ(rig.page->askStateButton()->text(), "Вкл");
    EXPECT_TRUE(rig.page->askTimer().isActive()); // polling goes on

    // The fault is spent: the next cycle shows the state and its duration.
    ASSERT_TRUE(test::waitUntil([&] { return log.ends.size() >= 2; }, 3000));
    EXPECT_TRUE(log.ends[1].answered);
    EXPECT_TRUE(rig.box("cbContact1")->isChecked());
    EXPECT_EQ(rig.page->askStateButton()->text(), QString::number(log.ends[1].elapsedMs));
}

TEST(WorkPolling, LongCycleRestartsTheTimerShortOneKeepsRhythm)
{
    // Three exchanges of about 400 ms each: a cycle of about 1200 ms.
    WorkRig slow(400);
    ASSERT_TRUE(slow.connected);
    slow.enableButtons();
    CycleLog slowLog(slow);
    slow.page->askStateButton()->click();
    ASSERT_TRUE(test::waitUntil([&] { return !slowLog.ends.empty(); }, 4000));
    const auto &s = slowLog.ends[0];
    EXPECT_TRUE(s.answered);
    EXPECT_GE(s.elapsedMs, 1000);
    EXPECT_TRUE(s.restarted);
    EXPECT_GT(s.remainingMs, 900); // a full interval from the cycle's end
    slow.page->askStateButton()->click();

    WorkRig fast(100);
    ASSERT_TRUE(fast.connected);
    fast.enableButtons();
    CycleLog fastLog(fast);
    fast.page->askStateButton()->click();
    ASSERT_TRUE(test::waitUntil([&] { return !fastLog.ends.empty(); }, 3000));
    const auto &f = fastLog.ends[0];
    EXPECT_TRUE(f.answered);
    EXPECT_LT(f.elapsedMs, 1000);
    EXPECT_FALSE(f.restarted);
    EXPECT_LT(f.remainingMs, 900); // the tick's rhythm goes on
}

TEST(WorkPolling, TickWhileLinkBusyIsSkipped)
{
    WorkRig rig;
    ASSERT_TRUE(rig.connected);
    rig.enableButtons();
    CycleLog log(rig);
    rig.page->askStateButton()->click();
    // Another operation holds the link across two ticks.
    rig.dm.runOperation([&](link::OperationContext &ctx) { ctx.pause(2300); });
    EXPECT_EQ(rig.requestCount(4), 0);
    EXPECT_TRUE(log.ends.empty());
    ASSERT_TRUE(test::waitUntil([&] { return !log.ends.empty(); }, 2000));
    EXPECT_TRUE(log.ends[0].answered);
}

TEST(WorkPolling, StoppedDuringACycleStaysStopped)
{
    WorkRig rig(400);
    ASSERT_TRUE(rig.connected);
    rig.enableButtons();
    CycleLog log(rig);
    QPushButton *ask = rig.page->askStateButton();
    ask->click();
    // The user stops polling while the cycle (from 1000 ms) waits for replies.
    QTimer::singleShot(1300, ask, [ask] { ask->click(); });
    ASSERT_TRUE(test::waitUntil([&] { return !log.ends.empty(); }, 4000));
    EXPECT_TRUE(log.ends[0].answered);
    EXPECT_FALSE(log.ends[0].restarted);
    EXPECT_FALSE(rig.page->askTimer().isActive());
    EXPECT_EQ(ask->text(), "Выкл");
}

TEST(WorkPolling, CycleTimeIncludesWritingThePage)
{
    // Quick replies, but a page that takes longer than the interval to write: the cycle
    // lasts past the interval, so its time is shown and the timer restarted.
    WorkRig rig;
    ASSERT_TRUE(rig.connected);
    QTimer timer;
    timer.setInterval(1000);
    QPushButton ask;
    QPushButton once;
    ui::WorkPolling polling(rig.dm, timer, ask, once, [] { QThread::msleep(1100); });
    std::vector<std::pair<qint64, bool>> ends;
    QObject::connect(&polling, &ui::WorkPolling::cycleEnded,
                     [&](bool, qint64 ms, bool restarted) { ends.emplace_back(ms, restarted); });
    ask.click();
    ASSERT_TRUE(test::waitUntil([&] { return !ends.empty(); }, 4000));
    timer.stop();
    EXPECT_GE(ends[0].first, 1100);
    EXPECT_TRUE(ends[0].second);
    EXPECT_EQ(ask.text(), QString::number(ends[0].first));
}

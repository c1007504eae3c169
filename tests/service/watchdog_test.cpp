#include "service/watchdog.h"
#include "service/watchdog_output.h"

#include "support/scripted_echo.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

using namespace vardex;
using service::EchoStatus;
using service::Watchdog;
using test::ScriptedEcho;

namespace {

struct View final : service::WatchdogView {
    service::WatchdogInputs in{QStringLiteral("192.0.2.7"), 500, 3000, 1000, false, 8};
    QString reply;
    QString word = QStringLiteral("Error");
    QString facilityError;
    bool pingEnabled = true;

    service::WatchdogInputs inputs() const override { return in; }
    void showReply(const QString &t) override { reply = t; }
    void showStatusWord(const QString &w) override { word = w; }
    void showFacilityError(const QString &t) override { facilityError = t; }
    void setManualPingEnabled(bool e) override { pingEnabled = e; }
    void logChanged() override {}
};

struct Rig {
    ManualClock clock;
    test::ManualTimer timer{clock};
    ScriptedEcho echo;
    View view;
    // The manual task at the controller: each switch changes its own output in it.
    link::OutputTask task;
    std::vector<link::OutputTask> sent;
    std::vector<qint64> sentAt;
    std::vector<qint64> pingTimes;
    // The link: free and with a controller unless a test says otherwise. Switches handed
    // over while it is held wait, in order, for release(). unread: the outputs cannot be
    // read, so nothing is written.
    bool linkHeld = false;
    bool controller = true;
    bool unread = false;
    struct Switch {
        int item;
        bool on;
        std::function<void(const service::TaskDelivery &)> done;
        qint64 at;
    };
    std::vector<Switch> queued;
    Watchdog dog{
        echo, timer, view,
        [this](int item, bool on, std::function<void(const service::TaskDelivery &)> done) {
            Switch s{item, on, std::move(done), clock.monotonicMs()};
            if (linkHeld) {
                queued.push_back(std::move(s));
                return;
            }
            deliver(s);
        },
        clock};

    void deliver(const Switch &s)
    {
        service::TaskDelivery d;
        d.delayMs = clock.monotonicMs() - s.at;
        d.sent = controller && !unread;
        d.notRead = controller && unread;
        if (d.sent) {
            service::setWatchdogOutput(task, s.item, s.on);
            sent.push_back(task);
            sentAt.push_back(clock.monotonicMs());
        }
        s.done(d);
    }
    // The link is free again: what waited goes out now, in order.
    void release()
    {
        linkHeld = false;
        for (const Switch &s : std::exchange(queued, {}))
            deliver(s);
    }

    Rig()
    {
        timer.onTick = [this] {
            const auto before = echo.requests.size();
            dog.timerTick();
            if (echo.requests.size() > before)
                pingTimes.push_back(clock.monotonicMs());
        };
    }
    void check(bool on)
    {
        view.in.watching = on;
        dog.watchingToggled(on);
    }
    // Runs for ms, answering (or not) each ping at once.
    void run(qint64 ms, bool answer)
    {
        const qint64 end = clock.monotonicMs() + ms;
        while (clock.monotonicMs() < end) {
            timer.advance(1);
            if (echo.busy())
                echo.reply(answer ? ScriptedEcho::answered() : ScriptedEcho::timedOut());
        }
    }
};

} // namespace

TEST(WatchdogTiming, PingsEverySecondUntilTheFirstActuationHasEndedThenAtThePingInterval)
{
    Rig r;
    r.check(true);
    r.run(3000, true);
    EXPECT_EQ(r.pingTimes, (std::vector<qint64>{1000, 2000, 3000}));
    r.timer.advance(1000);
    ASSERT_TRUE(r.echo.reply(ScriptedEcho::timedOut()));
    EXPECT_EQ(r.timer.phase, Watchdog::Actuating);
    r.run(1000, true); // the pulse ends at 5000
    EXPECT_EQ(r.timer.phase, Watchdog::Watching);
    r.run(6000, true);
    EXPECT_EQ(r.pingTimes, (std::vector<qint64>{1000, 2000, 3000, 4000, 8000, 11000}));
}

TEST(WatchdogActuation, SilentHostPulsesRelayOneForTheActuationTimeThenWaitsThePingInterval)
{
    Rig r;
    r.check(true);
    r.sent.clear();
    r.timer.advance(1000);
    ASSERT_TRUE(r.echo.reply(ScriptedEcho::timedOut()));
    ASSERT_EQ(r.sent.size(), 1u);
    EXPECT_EQ(r.sent[0].relaysTask, 0x01);
    EXPECT_EQ(r.sent[0].switchesTask, 0x00);
    EXPECT_EQ(r.view.word, QStringLiteral("End")); // a watching tick ends with "End"
    r.timer.advance(999);
    EXPECT_EQ(r.sent.size(), 1u);
    r.timer.advance(1);
    ASSERT_EQ(r.sent.size(), 2u);
    EXPECT_EQ(r.sent[1].relaysTask, 0x00);
    EXPECT_EQ(r.timer.interval(), 3000);
    r.timer.advance(2999);
    EXPECT_FALSE(r.echo.busy());
    r.timer.advance(1);
    EXPECT_TRUE(r.echo.busy());
}

TEST(WatchdogActuation, ManualTimeoutWithWatchingOffPulsesOnceAndLeavesTheTimerStopped)
{
    Rig r;
    r.dog.manualPing();
    EXPECT_FALSE(r.view.pingEnabled);
    ASSERT_TRUE(r.echo.reply(ScriptedEcho::timedOut()));
    EXPECT_TRUE(r.view.pingEnabled);
    EXPECT_EQ(r.view.word, QStringLiteral("Timeout"));
    ASSERT_EQ(r.sent.size(), 1u);
    EXPECT_EQ(r.sent[0].relaysTask, 0x01);
    r.timer.advance(1000);
    ASSERT_EQ(r.sent.size(), 2u);
    EXPECT_EQ(r.sent[1].relaysTask, 0x00);
    EXPECT_FALSE(r.timer.isActive());
    r.timer.advance(10000);
    EXPECT_EQ(r.echo.requests.size(), 1u);
}

TEST(WatchdogActuation, UncheckingMidPulseClearsAtOnceAndRecheckingPingsAtTheActuationTime)
{
    Rig r;
    r.view.in.actuationMs = 2500;
    r.check(true);
    r.timer.advance(1000);
    r.echo.reply(ScriptedEcho::timedOut());
    r.timer.advance(500);
    r.check(false);
    ASSERT_EQ(r.sent.size(), 2u);
    EXPECT_EQ(r.sent.back().relaysTask, 0x00);
    EXPECT_FALSE(r.timer.isActive());
    EXPECT_EQ(r.timer.phase, Watchdog::Actuating); // unchecking leaves the phase

    r.check(true);
    r.pingTimes.clear();
    r.run(5000, true);
    EXPECT_EQ(r.pingTimes, (std::vector<qint64>{4000, 6500}));
}

TEST(WatchdogActuation, CheckingDuringAManualPulseTurnsItsEndIntoAPingAndTheOutputStaysOn)
{
    Rig r;
    r.dog.manualPing();
    r.echo.reply(ScriptedEcho::timedOut());
    r.check(true);
    r.timer.advance(1000);
    EXPECT_TRUE(r.echo.busy()); // a ping, not the end of the pulse
    r.echo.reply(ScriptedEcho::answered());
    r.run(5000, true);
    EXPECT_EQ(r.task.relaysTask, 0x01);
    EXPECT_EQ(r.sent.size(), 1u);
    r.check(false);
    EXPECT_EQ(r.sent.back().relaysTask, 0x00);
}

TEST(WatchdogActuation, ClosingEndsAPulseThatIsOnAndNothingElse)
{
    Rig r;
    r.check(true);
    r.timer.advance(1000);
    r.echo.reply(ScriptedEcho::timedOut());
    ASSERT_EQ(r.task.relaysTask, 0x01);
    r.dog.close();
    ASSERT_EQ(r.sent.size(), 2u);
    EXPECT_EQ(r.sent.back().relaysTask, 0x00);
    EXPECT_FALSE(r.timer.isActive());
    r.timer.advance(10000);
    EXPECT_EQ(r.echo.requests.size(), 1u);

    // A pulse kept on by checking the box during it ends too; an ended one sends nothing.
    Rig kept;
    kept.dog.manualPing();
    kept.echo.reply(ScriptedEcho::timedOut());
    kept.check(true);
    kept.timer.advance(1000);
    kept.echo.reply(ScriptedEcho::answered());
    kept.dog.close();
    EXPECT_EQ(kept.sent.size(), 2u);
    EXPECT_EQ(kept.task.relaysTask, 0x00);
    kept.dog.close();
    EXPECT_EQ(kept.sent.size(), 2u);
}

TEST(WatchdogActuation, AMissThatComesBackAfterTheCloseSwitchesNothing)
{
    Rig r;
    r.check(true);
    r.timer.advance(1000);
    ASSERT_TRUE(r.echo.busy());
    r.dog.close();
    r.echo.reply(ScriptedEcho::timedOut());
    EXPECT_TRUE(r.sent.empty());
    EXPECT_FALSE(r.dog.holdsOutputOn());
    EXPECT_FALSE(r.dog.pingOut());
    r.dog.manualPing();
    EXPECT_EQ(r.echo.requests.size(), 1u);
}

TEST(WatchdogOutputs, ChoiceIsReadEachTimeAndAHandCheckedRelayIsClearedAtThePulseEnd)
{
    Rig r;
    r.task.relaysTask = 0x01; // relay 1 checked by hand
    r.task.switchesTask = 0x00;
    r.view.in.output = 3; // high-side switch 4
    r.dog.manualPing();
    r.echo.reply(ScriptedEcho::timedOut());
    EXPECT_EQ(r.sent.back().switchesTask, 0x08);
    EXPECT_EQ(r.sent.back().relaysTask, 0x01);
    r.view.in.output = 8; // changed during the pulse
    r.timer.advance(1000);
    EXPECT_EQ(r.sent.back().switchesTask, 0x08); // a different bit was cleared
    EXPECT_EQ(r.sent.back().relaysTask, 0x00);
}

TEST(WatchdogOutputs, TextSelectingNoItemChangesNoBitButTheTaskIsStillSent)
{
    Rig r;
    r.task.switchesTask = 0x5A;
    r.task.relaysTask = 0x21;
    r.view.in.output = -1;
    r.dog.manualPing();
    r.echo.reply(ScriptedEcho::timedOut());
    ASSERT_EQ(r.sent.size(), 1u);
    EXPECT_EQ(r.sent[0].switchesTask, 0x5A);
    EXPECT_EQ(r.sent[0].relaysTask, 0x21);
    r.timer.advance(1000); // the pulse ends; a miss during it would be merged into it
    r.view.in.output = 15; // item 15: relay task bit 7, no relay behind it
    r.dog.manualPing();
    r.echo.reply(ScriptedEcho::timedOut());
    EXPECT_EQ(r.sent.back().relaysTask, 0xA1);
}

TEST(WatchdogReply, TextAlternatesItsPrefixAndShowsUnderAMillisecond)
{
    Rig r;
    r.dog.manualPing();
    r.echo.reply(ScriptedEcho::answered(3, 64));
    EXPECT_EQ(r.view.reply, QStringLiteral("| 40 байт от 192.0.2.7: ТТЛ=64 время=3 мс"));
    EXPECT_EQ(r.view.word, QStringLiteral("Echo"));
    r.dog.manualPing();
    EXPECT_TRUE(r.view.reply.isEmpty()); // emptied while the ping is out
    r.echo.reply(ScriptedEcho::answered(0, 128));
    EXPECT_EQ(r.view.reply, QStringLiteral("- 40 байт от 192.0.2.7: ТТЛ=128 время<1 мс"));
    r.dog.manualPing();
    r.echo.reply(ScriptedEcho::timedOut(501));
    EXPECT_EQ(r.view.reply, QStringLiteral("| 0 байт от 0.0.0.0: ТТЛ=0 время=501 мс"));
}

TEST(WatchdogReply, UnreachableAndTtlExceededOnlyChangeTheStatusWord)
{
    Rig r;
    r.dog.manualPing();
    r.echo.reply(ScriptedEcho::withStatus(EchoStatus::Unreachable));
    EXPECT_EQ(r.view.word, QStringLiteral("Addres"));
    r.dog.manualPing();
    r.echo.reply(ScriptedEcho::withStatus(EchoStatus::TtlExceeded));
    EXPECT_EQ(r.view.word, QStringLiteral("TTL"));
    r.dog.manualPing();
    r.echo.reply(ScriptedEcho::withStatus(EchoStatus::Error));
    EXPECT_EQ(r.view.word, QStringLiteral("Timeout")); // an error is the trigger as well
    EXPECT_EQ(r.sent.size(), 1u);
}

TEST(WatchdogAsync, NoSecondPingWhileOneIsOutAndTheOperatorsClickComesAfterTheReply)
{
    Rig r;
    r.view.in.pingTimeoutMs = 5000;
    r.check(true);
    r.timer.advance(1000);
    ASSERT_TRUE(r.echo.busy());
    r.dog.manualPing();    // the button is disabled; a stray call does nothing
    r.timer.advance(2500); // ticks while the ping is out start nothing
    EXPECT_EQ(r.echo.requests.size(), 1u);
    r.view.in.watching = false;
    r.dog.watchingToggled(false); // unchecked while the ping is out
    EXPECT_TRUE(r.sent.empty());
    r.echo.reply(ScriptedEcho::timedOut(5000));
    // The reply started the pulse, then the click ended it.
    ASSERT_EQ(r.sent.size(), 2u);
    EXPECT_EQ(r.sent[0].relaysTask, 0x01);
    EXPECT_EQ(r.sent[1].relaysTask, 0x00);
    EXPECT_FALSE(r.timer.isActive());
}

TEST(WatchdogAsync, TickThatCameDuringThePingRunsAfterAnAnsweredReply)
{
    Rig r;
    r.view.in.pingTimeoutMs = 1500;
    r.check(true);
    r.timer.advance(2000); // ticks at 1000 and 2000; the second finds the ping out
    EXPECT_EQ(r.echo.requests.size(), 1u);
    r.echo.reply(ScriptedEcho::answered());
    EXPECT_EQ(r.echo.requests.size(), 2u);
}

TEST(WatchdogFacility, ErrorIsShownAndLoggedOnceWithoutActuationAndWatchingGoesOn)
{
    Rig r;
    r.check(true);
    const QString why = QStringLiteral("Узел «x.invalid» не найден");
    for (int i = 0; i < 3; ++i) {
        r.timer.advance(1000);
        ASSERT_TRUE(r.echo.reply(service::EchoResult::failed(why)));
    }
    EXPECT_EQ(r.view.facilityError, why);
    EXPECT_EQ(r.view.word, QStringLiteral("End"));
    EXPECT_TRUE(r.sent.empty());
    EXPECT_TRUE(r.timer.isActive());
    int mentions = 0;
    for (const QString &line : r.dog.log().lines())
        mentions += line.contains(why);
    EXPECT_EQ(mentions, 1);
    r.timer.advance(1000);
    r.echo.reply(ScriptedEcho::answered());
    EXPECT_TRUE(r.view.facilityError.isEmpty());
}

TEST(WatchdogLog, SaysWhatWasSwitchedAndWhen)
{
    Rig r;
    r.check(true);
    r.timer.advance(1000);
    r.echo.reply(ScriptedEcho::timedOut());
    r.timer.advance(1000);
    const auto &lines = r.dog.log().lines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_TRUE(lines[lines.size() - 2].startsWith(QStringLiteral("2026-01-01 12:00:01 — ")));
    EXPECT_TRUE(lines[lines.size() - 2].contains(QStringLiteral("Реле_1 вкл.")));
    EXPECT_TRUE(lines.back().startsWith(QStringLiteral("2026-01-01 12:00:02 — ")));
    EXPECT_TRUE(lines.back().contains(QStringLiteral("Реле_1 выкл.")));
}

TEST(DecisionLog, KeepsTheLastThousandLinesAndSavesThemAsText)
{
    service::DecisionLog log;
    const QDateTime t(QDate(2026, 3, 1), QTime(8, 0, 0));
    for (int i = 0; i < 1005; ++i)
        log.add(t.addSecs(i), QStringLiteral("событие %1").arg(i));
    ASSERT_EQ(log.size(), 1000);
    EXPECT_TRUE(log.lines().front().endsWith(QStringLiteral("событие 5")));
    EXPECT_EQ(log.totalAdded(), 1005);
    const QString path = test::tempPath(QStringLiteral("watchdog.txt"));
    ASSERT_TRUE(log.save(path).ok);
    const QList<QByteArray> lines = test::readFile(path).split('\n');
    ASSERT_EQ(lines.size(), 1001); // a newline after the last line
    EXPECT_EQ(QString::fromUtf8(lines[999]), QStringLiteral("2026-03-01 08:16:44 — событие 1004"));
}

namespace {

int onTasks(const Rig &r)
{
    return static_cast<int>(
        std::count_if(r.sent.begin(), r.sent.end(), [](const auto &t) { return t.relaysTask; }));
}

bool logMentions(const Rig &r, const QString &text)
{
    const auto &lines = r.dog.log().lines();
    return std::any_of(lines.begin(), lines.end(),
                       [&](const QString &l) { return l.contains(text); });
}

} // namespace

TEST(WatchdogOutage, ALinkHeldForAMinuteWithTheHostDownGivesOnePulseOfItsFullLength)
{
    Rig r;
    r.check(true);
    r.linkHeld = true; // another sequence holds the link from here on
    r.run(60000, false);
    EXPECT_EQ(r.echo.requests.size(), 1u); // no pings while the pulse waits for the link
    EXPECT_EQ(r.queued.size(), 1u);        // one switch-on waits, no backlog of pairs
    r.release();
    r.run(1000, false); // the pulse runs its full time from the write
    ASSERT_EQ(r.sent.size(), 2u);
    EXPECT_EQ(r.sent[0].relaysTask, 0x01);
    EXPECT_EQ(r.sent[1].relaysTask, 0x00);
    EXPECT_EQ(r.sentAt[1] - r.sentAt[0], 1000);
    EXPECT_TRUE(logMentions(r, QStringLiteral("импульс задержан на 59000 мс")));
    // The outage goes on: the next pulse only after the ping interval, one at a time.
    r.run(3000, false);
    EXPECT_EQ(onTasks(r), 2);
}

TEST(WatchdogOutage, AMissWhileThePulseIsQueuedOrRunningIsMergedIntoIt)
{
    Rig r;
    r.linkHeld = true;
    r.dog.manualPing();
    r.echo.reply(ScriptedEcho::timedOut());
    r.dog.manualPing(); // the pulse's switch-on still waits for the link
    r.echo.reply(ScriptedEcho::timedOut());
    r.release();
    r.dog.manualPing(); // the pulse runs
    r.echo.reply(ScriptedEcho::timedOut());
    r.timer.advance(1000);
    ASSERT_EQ(r.sent.size(), 2u);
    EXPECT_EQ(onTasks(r), 1);
    EXPECT_TRUE(logMentions(r, QStringLiteral("импульс уже назначен, второго не будет")));
}

// Misses in a row before a pulse: a reply in between starts the count again; errors of
// the facility and unreachable messages neither count nor start it again.
struct MissCase {
    const char *name;
    int misses;
    const char *replies; // t: timed out, a: answered, f: facility error, u: unreachable
    int pulses;
};

class WatchdogMisses : public ::testing::TestWithParam<MissCase> {};

TEST_P(WatchdogMisses, PulseComesOnlyAfterTheSetNumberOfMissesInARow)
{
    const MissCase &c = GetParam();
    Rig r;
    r.view.in.missesInRow = c.misses;
    for (const char *p = c.replies; *p; ++p) {
        r.dog.manualPing();
        switch (*p) {
        case 't':
            r.echo.reply(ScriptedEcho::timedOut());
            break;
        case 'a':
            r.echo.reply(ScriptedEcho::answered());
            break;
        case 'u':
            r.echo.reply(ScriptedEcho::withStatus(EchoStatus::Unreachable));
            break;
        default:
            r.echo.reply(service::EchoResult::failed(QStringLiteral("нет сокета")));
            break;
        }
        r.timer.advance(1000); // a pulse that started ends before the next ping
    }
    EXPECT_EQ(onTasks(r), c.pulses);
}

INSTANTIATE_TEST_SUITE_P(Table, WatchdogMisses,
                         ::testing::Values(MissCase{"FirstMissByDefault", 1, "t", 1},
                                           MissCase{"EachMissOnItsOwnByDefault", 1, "tat", 2},
                                           MissCase{"ThreeInARow", 3, "ttt", 1},
                                           MissCase{"TwoAreNotEnough", 3, "tt", 0},
                                           MissCase{"AReplyStartsTheCountAgain", 3, "ttattt", 1},
                                           MissCase{"FacilityErrorsDoNotCount", 2, "tfff", 0},
                                           MissCase{"FacilityErrorsDoNotBreakTheRow", 2, "tft", 1},
                                           MissCase{"UnreachableDoesNotCount", 2, "tuuu", 0}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(WatchdogHoldOff, MissesRightAfterAPulseDoNotCountUntilTheHoldOffHasPassed)
{
    Rig r;
    r.view.in.holdOffS = 10;
    r.check(true);
    r.run(1000, false); // the first ping fails: the pulse
    r.run(1000, false); // it ends at 2000; the hold-off runs until 12000
    ASSERT_EQ(onTasks(r), 1);
    r.run(9000, false); // pings at 5000, 8000 and 11000 fail and are not counted
    EXPECT_EQ(onTasks(r), 1);
    EXPECT_TRUE(logMentions(r, QStringLiteral("не учтено: пауза ещё 7 с")));
    r.run(3000, false); // 14000: counted again
    EXPECT_EQ(onTasks(r), 2);
    EXPECT_TRUE(logMentions(r, QStringLiteral("пауза после срабатывания: 10 с")));
}

TEST(WatchdogUnplug, ASwitchOffWithoutAControllerIsOwedAndSentWhenItComesBack)
{
    Rig r;
    r.dog.manualPing();
    r.echo.reply(ScriptedEcho::timedOut());
    ASSERT_EQ(r.sent.size(), 1u);
    r.controller = false; // unplugged during the pulse
    r.timer.advance(1000);
    EXPECT_EQ(r.sent.size(), 1u);
    EXPECT_TRUE(r.dog.switchOffOwed());
    EXPECT_TRUE(r.dog.holdsOutputOn());
    EXPECT_TRUE(logMentions(r, QStringLiteral("Реле_1 выкл. НЕ отправлено")));
    EXPECT_FALSE(r.dog.log().lines().back().endsWith(QStringLiteral("Реле_1 выкл.")));
    r.dog.controllerConnected(); // still without one: stays owed
    EXPECT_TRUE(r.dog.switchOffOwed());
    r.controller = true;
    r.dog.controllerConnected();
    ASSERT_EQ(r.sent.size(), 2u);
    EXPECT_EQ(r.sent[1].relaysTask, 0x00);
    EXPECT_FALSE(r.dog.holdsOutputOn());
    EXPECT_TRUE(logMentions(r, QStringLiteral("контроллер снова подключен — Реле_1 выкл.")));
    r.dog.controllerConnected(); // nothing more is owed
    EXPECT_EQ(r.sent.size(), 2u);
}

TEST(WatchdogUnplug, APulledControllerEndsThePulseThereAndOwesItsSwitchOffAlone)
{
    Rig r;
    r.check(true);
    r.dog.timerTick();
    r.echo.reply(ScriptedEcho::timedOut());
    ASSERT_EQ(r.sent.size(), 1u);
    r.controller = false;
    r.dog.controllerGone();
    EXPECT_EQ(r.dog.pulse(), Watchdog::Pulse::None);
    EXPECT_EQ(r.dog.heldOutput(), r.view.in.output);
    EXPECT_TRUE(r.dog.switchOffOwed());
    // The pulse's time passes: the next tick pings (watching goes on) and sends no end.
    r.timer.advance(r.view.in.pingIntervalMs);
    EXPECT_EQ(r.sent.size(), 1u);
    EXPECT_TRUE(r.echo.busy());

    // Replaced instead of plugged back: the owed switch-off is nobody's to receive.
    r.controller = true;
    r.dog.controllerReplaced(false);
    EXPECT_EQ(r.dog.heldOutput(), -1);
    r.dog.controllerConnected();
    EXPECT_EQ(r.sent.size(), 1u);
    EXPECT_TRUE(logMentions(r, QStringLiteral("может оставаться включённым")));
}

TEST(WatchdogUnplug, ASwitchOnWithoutAControllerIsNoPulseAndTheBitGoesBack)
{
    Rig r;
    r.controller = false;
    r.check(true);
    r.run(1000, false);
    EXPECT_TRUE(r.sent.empty());
    EXPECT_EQ(r.task.relaysTask, 0x00); // a later task must not switch it on unasked
    EXPECT_EQ(r.timer.phase, Watchdog::Watching);
    EXPECT_EQ(r.timer.interval(), 3000);
    EXPECT_TRUE(logMentions(r, QStringLiteral("Реле_1 вкл. не отправлено")));
    r.controller = true;
    r.run(3000, false); // watching went on: the next miss pulses
    EXPECT_EQ(onTasks(r), 1);
}

// Several hosts: a round pings each in turn, one at a time, and only a round in which
// all of them missed pulses.
TEST(WatchdogHosts, ARoundPingsEveryHostAndPulsesOnlyWhenAllMissed)
{
    Rig r;
    r.view.in.moreHosts = {QStringLiteral(" 127.0.0.1 "), QString(), QStringLiteral("192.0.2.7")};
    r.check(true);
    r.timer.advance(1000);
    ASSERT_EQ(r.echo.requests.size(), 1u);
    EXPECT_EQ(r.echo.requests[0].host, QStringLiteral("192.0.2.7"));
    r.echo.reply(ScriptedEcho::timedOut());
    // The next host of the round; empty and repeated ones are left out.
    ASSERT_EQ(r.echo.requests.size(), 2u);
    EXPECT_EQ(r.echo.requests[1].host, QStringLiteral("127.0.0.1"));
    EXPECT_TRUE(r.dog.pingOut());
    r.echo.reply(ScriptedEcho::answered());
    EXPECT_FALSE(r.dog.pingOut());
    EXPECT_EQ(onTasks(r), 0);
    EXPECT_TRUE(logMentions(r, QStringLiteral("молчит 192.0.2.7, отвечает 127.0.0.1")));
    EXPECT_EQ(r.dog.log().rules().back(), QStringLiteral("all-hosts"));

    r.timer.advance(1000);
    r.echo.reply(ScriptedEcho::timedOut());
    r.echo.reply(ScriptedEcho::timedOut());
    EXPECT_EQ(onTasks(r), 1);
    EXPECT_TRUE(logMentions(
        r, QStringLiteral("192.0.2.7, 127.0.0.1 не ответили — все узлы молчат, пропуск 1 из 1 "
                          "подряд: Реле_1 вкл. на 1000 мс")));
}

TEST(WatchdogCap, StandsDownAtTheCapAndTheEngineersRearmLetsItPulseAgain)
{
    Rig r;
    r.view.in.maxPulses = 1;
    r.view.in.perMin = 60;
    r.check(true);
    r.run(1000, false); // the pulse
    r.run(4000, false); // ends at 2000; the next miss meets the cap
    EXPECT_EQ(onTasks(r), 1);
    EXPECT_TRUE(r.dog.policy().state().stoodDown);
    EXPECT_TRUE(logMentions(r, QStringLiteral("остановлен: 1 импульс за 60 мин")));
    r.run(30000, false);
    EXPECT_EQ(onTasks(r), 1);
    r.dog.rearm();
    EXPECT_EQ(r.dog.log().rules().back(), QStringLiteral("rearm"));
    r.run(3000, false);
    EXPECT_EQ(onTasks(r), 2);
}

TEST(WatchdogUnplug, ASwitchOnThatFoundNoControllerUsesNoneOfTheCap)
{
    Rig r;
    r.view.in.maxPulses = 1;
    r.controller = false;
    r.check(true);
    r.run(1000, false);
    EXPECT_TRUE(r.sent.empty());
    r.controller = true;
    r.run(3000, false);
    EXPECT_EQ(onTasks(r), 1);
    EXPECT_FALSE(r.dog.policy().state().stoodDown);
}

TEST(WatchdogUnread, OutputsThatCannotBeReadCostThePulseAndAnOwedSwitchOffIsTriedAtEachTick)
{
    Rig r;
    r.unread = true;
    r.check(true);
    r.run(1000, false);
    EXPECT_TRUE(r.sent.empty());
    EXPECT_EQ(r.timer.phase, Watchdog::Watching);
    EXPECT_TRUE(logMentions(r, QStringLiteral("Реле_1 вкл. не отправлено: выходы контроллера не "
                                              "прочитаны — импульса не было")));

    // Read at the switch-on, not at its end: the switch-off is owed, not forgotten.
    r.unread = false;
    r.run(3000, false);
    ASSERT_EQ(r.sent.size(), 1u);
    EXPECT_EQ(r.sent.back().relaysTask, 0x01);
    r.unread = true;
    r.timer.advance(1000); // the pulse's end
    EXPECT_EQ(r.sent.size(), 1u);
    EXPECT_TRUE(r.dog.holdsOutputOn());
    EXPECT_TRUE(logMentions(r, QStringLiteral("выходы контроллера не прочитаны; будет повторено "
                                              "при следующем опросе")));
    r.unread = false;
    r.run(3000, true); // the next tick tries again, and pings
    ASSERT_EQ(r.sent.size(), 2u);
    EXPECT_EQ(r.sent.back().relaysTask, 0x00);
    EXPECT_FALSE(r.dog.holdsOutputOn());
    EXPECT_TRUE(logMentions(r, QStringLiteral("выходы прочитаны — Реле_1 выкл. отправлено")));
}

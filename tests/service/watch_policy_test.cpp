#include "service/watch_policy.h"

#include <gtest/gtest.h>

#include <functional>

using namespace vardex;
using service::WatchPolicy;
using service::WatchPolicySettings;

namespace {

// Whether host h answers at second t; lastPulse is the second of the last pulse, or -1.
using Hosts = std::function<bool(int h, int t, int lastPulse)>;

struct ReplayCase {
    const char *name;
    WatchPolicySettings settings;
    int hosts;
    Hosts up;
    int durationS;
    std::vector<int> pulses;       // seconds at which the pulses were decided
    std::vector<const char *> log; // "second:rule" of every decision worth a line
    const char *said;              // a text one of the decisions says
};

struct Replayed {
    std::vector<int> pulses;
    std::vector<std::string> log;
    QStringList texts;
};

// The watchdog's round as the rules see it: a ping every 3 s, a pulse lasting 1 s, the
// next ping 3 s after the pulse's end.
Replayed replay(const ReplayCase &c)
{
    ManualClock clock;
    WatchPolicy policy(clock);
    policy.setSettings(c.settings);
    policy.start();
    Replayed out;
    int lastPulse = -1;
    while (clock.monotonicMs() < qint64{c.durationS} * 1000) {
        const int t = static_cast<int>(clock.monotonicMs() / 1000);
        service::WatchRound round;
        for (int h = 0; h < c.hosts; ++h)
            (c.up(h, t, lastPulse) ? round.answered : round.missed)
                << QStringLiteral("192.0.2.%1").arg(h + 1);
        const service::WatchDecision d = policy.round(round);
        if (!d.text.isEmpty()) {
            out.log.push_back(std::to_string(t) + ":" +
                              service::watchRuleName(d.rule).toStdString());
            out.texts << d.text;
        }
        if (d.pulse) {
            out.pulses.push_back(t);
            lastPulse = t;
            clock.advanceMs(1000);
            policy.pulseEnded();
        }
        clock.advanceMs(3000);
    }
    return out;
}

std::vector<std::string> strings(const std::vector<const char *> &v)
{
    return {v.begin(), v.end()};
}

WatchPolicySettings settings(int misses, int holdOffS, int armAfter, int maxPulses = 0,
                             int perMin = 60, int backoffMaxS = 0)
{
    return {misses, holdOffS, armAfter, maxPulses, perMin, backoffMaxS};
}

const int kSixHours = 6 * 3600;

class WatchPolicyReplay : public ::testing::TestWithParam<ReplayCase> {};

} // namespace

TEST_P(WatchPolicyReplay, PulsesWhenTheRulesSayAndEachDecisionNamesItsRule)
{
    const ReplayCase &c = GetParam();
    const Replayed r = replay(c);
    EXPECT_EQ(r.pulses, c.pulses);
    EXPECT_EQ(r.log, strings(c.log));
    const QString said = QString::fromUtf8(c.said);
    EXPECT_TRUE(std::any_of(r.texts.begin(), r.texts.end(), [&](const QString &t) {
        return t.contains(said);
    })) << r.texts.join(QLatin1Char('\n')).toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Table, WatchPolicyReplay,
    ::testing::Values(
        // Three pulses with doubling pauses, then the cap stands it down for the rest of
        // the outage; the host's first answer re-arms it.
        ReplayCase{"SixHourOutageIsCappedAndBacksOff",
                   settings(3, 60, 0, 3, 60, 960),
                   1,
                   [](int, int t, int) { return t < 600 || t >= 600 + kSixHours; },
                   600 + kSixHours + 60,
                   {606, 673, 800},
                   {"600:misses", "603:misses", "606:misses", "610:hold-off", "667:misses",
                    "670:misses", "673:misses", "677:hold-off", "794:misses", "797:misses",
                    "800:misses", "804:hold-off", "1041:misses", "1044:misses", "1047:cap",
                    "22200:rearm"},
                   "остановлен: 3 импульса за 60 мин"},
        // The rules as they were: one pulse per ping interval all day long.
        ReplayCase{"NeverAnsweringHostByDefaultPulsesEveryRound",
                   settings(1, 0, 0),
                   1,
                   [](int, int, int) { return false; },
                   60,
                   {0, 4, 8, 12, 16, 20, 24, 28, 32, 36, 40, 44, 48, 52, 56},
                   {"0:misses", "4:misses", "8:misses", "12:misses", "16:misses", "20:misses",
                    "24:misses", "28:misses", "32:misses", "36:misses", "40:misses", "44:misses",
                    "48:misses", "52:misses", "56:misses"},
                   "пропуск 1 из 1"},
        ReplayCase{"NeverAnsweringHostIsNeverArmed",
                   settings(1, 0, 1),
                   1,
                   [](int, int, int) { return false; },
                   3600,
                   {},
                   {"0:arming"},
                   "не включён: узел ещё не отвечал"},
        // Down and up every half minute: armed by two answers each time, three pulses,
        // then the cap; answers re-arm it, but the pulses still in the window stand it
        // down again at once.
        ReplayCase{"FlappingHostStopsAtTheCap",
                   settings(1, 0, 2, 3, 60),
                   1,
                   [](int, int t, int) { return (t / 30) % 2 == 1; },
                   330,
                   {60, 121, 182},
                   {"0:arming", "33:arming", "60:misses", "64:arming", "94:arming", "121:misses",
                    "125:arming", "155:arming", "182:misses", "186:arming", "213:arming", "240:cap",
                    "273:rearm", "300:cap"},
                   "включён снова: узел ответил 2 раза"},
        // A gateway that drops echoes beside a router that answers: nothing, said once;
        // when both are silent the pulses come as for one host.
        ReplayCase{"TwoHostsOneStaysUp",
                   settings(2, 30, 0),
                   2,
                   [](int h, int t, int) { return h == 1 && (t < 600 || t >= 700); },
                   900,
                   {603, 637, 671},
                   {"0:all-hosts", "600:misses", "603:all-hosts", "607:hold-off", "634:misses",
                    "637:all-hosts", "641:hold-off", "668:misses", "671:all-hosts", "675:hold-off",
                    "702:all-hosts"},
                   "все узлы молчат"},
        // The host needs 120 s to boot, the pause is 60 s: without arming, every pause
        // ends in another pulse of a host still booting.
        ReplayCase{"RebootLongerThanTheHoldOffCyclesWithoutArming",
                   settings(1, 60, 0),
                   1,
                   [](int, int t, int p) { return t < 100 || (p >= 0 && t >= p + 120); },
                   600,
                   {102, 163, 224, 285, 346, 407, 468, 529, 590},
                   {"102:misses", "106:hold-off", "163:misses", "167:hold-off", "224:misses",
                    "228:hold-off", "285:misses", "289:hold-off", "346:misses", "350:hold-off",
                    "407:misses", "411:hold-off", "468:misses", "472:hold-off", "529:misses",
                    "533:hold-off", "590:misses", "594:hold-off"},
                   "не учтено: пауза ещё 57 с"},
        ReplayCase{"RebootLongerThanTheHoldOffPulsesOnceWhenArmed",
                   settings(1, 60, 1),
                   1,
                   [](int, int t, int p) { return t < 100 || (p >= 0 && t >= p + 120); },
                   600,
                   {102},
                   {"0:arming", "102:misses", "106:arming", "223:arming"},
                   "не включён: узел ещё не отвечал после импульса"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(WatchPolicy, StandDownIsInTheStateAndTheEngineersRearmForgetsTheWindow)
{
    ManualClock clock;
    WatchPolicy policy(clock);
    policy.setSettings(settings(1, 0, 0, 1, 10));
    const service::WatchRound silent{{}, {QStringLiteral("a")}, {}};
    EXPECT_TRUE(policy.round(silent).pulse);
    policy.pulseEnded();
    clock.advanceMs(4000);
    const service::WatchDecision cap = policy.round(silent);
    EXPECT_FALSE(cap.pulse);
    EXPECT_EQ(cap.rule, service::WatchRule::Cap);
    EXPECT_TRUE(cap.text.startsWith(QStringLiteral("остановлен: 1 импульс за 10 мин")));
    service::WatchPolicyState s = policy.state();
    EXPECT_TRUE(s.stoodDown);
    EXPECT_EQ(s.pulsesInWindow, 1);
    EXPECT_EQ(s.totalPulses, 1);
    EXPECT_TRUE(policy.stateText().startsWith(QStringLiteral("Остановлен: 1 импульс за 10 мин")));
    // A miss while stood down is said once, then not again.
    clock.advanceMs(3000);
    EXPECT_TRUE(policy.round(silent).text.isEmpty());

    const service::WatchDecision rearmed = policy.rearm();
    EXPECT_EQ(rearmed.rule, service::WatchRule::Rearm);
    EXPECT_FALSE(policy.state().stoodDown);
    EXPECT_EQ(policy.state().pulsesInWindow, 0);
    EXPECT_TRUE(policy.round(silent).pulse);
}

TEST(WatchPolicy, RussianCountsAgreeWithTheirNumber)
{
    const std::pair<int, const char *> cases[] = {
        {1, "1 импульс"},     {2, "2 импульса"},  {5, "5 импульсов"},  {11, "11 импульсов"},
        {14, "14 импульсов"}, {21, "21 импульс"}, {22, "22 импульса"}, {112, "112 импульсов"}};
    for (const auto &[n, text] : cases)
        EXPECT_EQ(service::russianCount(n, "импульс", "импульса", "импульсов"),
                  QString::fromUtf8(text));
}

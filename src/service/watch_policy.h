#pragma once

#include "common/clock.h"

#include <QString>
#include <QStringList>

#include <algorithm>
#include <deque>

// When the ping watchdog may pulse: the one set of rules behind the window's page and
// the headless watch. It knows nothing of echoes, timers or the controller; it is told
// what each round of pings found and when a pulse ended, and answers with a decision
// that names the rule that made it.
namespace vardex::service {

inline constexpr int kMaxWatchedHosts = 4;

struct WatchPolicySettings {
    int missesInRow = 1; // failed rounds in a row before a pulse
    int holdOffS = 0;    // after a pulse, misses do not count for this long
    // Answered rounds needed, since the start and since the last pulse, before misses
    // count; 0: from the start.
    int armAfter = 0;
    // At most maxPulses pulses within perMin minutes, else stand down; 0: no cap.
    int maxPulses = 0;
    int perMin = 60;
    // Above 0: the hold-off doubles with each pulse of one outage, up to this many seconds.
    int backoffMaxS = 0;
};

enum class WatchRule {
    None,
    Misses,    // "пропуск 2 из 3"
    AllHosts,  // "все узлы молчат", or some answered and nothing happens
    HoldOff,   // "не учтено: пауза ещё 40 с"
    Arming,    // "не включён: узел ещё не отвечал", "включён: …"
    Cap,       // "остановлен: 3 импульса за 60 мин"
    StoodDown, // a miss while stood down
    Rearm,     // "включён снова: …"
};

// A short English name for JSON and metrics: "misses", "all-hosts", "hold-off", …
QString watchRuleName(WatchRule rule);

// What one round of pings found, host by host.
struct WatchRound {
    QStringList answered;
    QStringList missed; // timed out or failed
    QStringList other;  // unreachable, TTL exceeded, no echo sent: neither way
};

struct WatchDecision {
    bool pulse = false;
    WatchRule rule = WatchRule::None;
    QString text; // empty: nothing worth a line (a repeat of the line before)
};

// The engine's state, for the page, the command line's JSON and the metrics.
struct WatchPolicyState {
    bool armed = true;
    int answers = 0; // answered rounds since the start or the last pulse
    int armAfter = 0;
    int misses = 0; // counted misses in a row
    int missesInRow = 1;
    qint64 holdOffLeftMs = 0;
    int holdOffS = 0;     // the hold-off after the next pulse (grows with the back-off)
    int outagePulses = 0; // pulses since the host last answered
    int pulsesInWindow = 0;
    int maxPulses = 0;
    int perMin = 60;
    bool stoodDown = false;
    int answersSinceStandDown = 0;
    qint64 totalPulses = 0;
};

class WatchPolicy {
public:
    explicit WatchPolicy(Clock &clock) : m_clock(clock) {}

    // Read before each round: the page's fields may change while it watches.
    void setSettings(const WatchPolicySettings &s) { m_settings = s; }
    const WatchPolicySettings &settings() const { return m_settings; }

    // Watching starts (again): the arming count and the misses start from nothing, a
    // stand-down is lifted. The pulses of the window stay: the cap is not reset by
    // switching watching off and on.
    void start();
    // One round of pings is over. A pulse decision counts as given; pulseNotGiven()
    // takes it back.
    WatchDecision round(const WatchRound &r);
    // The switch-on never reached the controller: no pulse happened.
    void pulseNotGiven();
    // The pulse ended: the hold-off starts now.
    void pulseEnded();
    // The engineer's button or a signal: stand-down lifted, the window's pulses
    // forgotten, armed whatever the answers.
    WatchDecision rearm();

    WatchPolicyState state() const;
    // The state in words, for the page.
    QString stateText() const;

private:
    WatchDecision answeredRound(const WatchRound &r);
    WatchDecision missedRound(const WatchRound &r);
    // A decision that misses do not count; said once while it stays the same.
    WatchDecision quiet(WatchRule rule, const QString &key, const QString &text);
    int armAfter() const { return std::max(0, m_settings.armAfter); }
    int needed() const { return std::max(1, m_settings.missesInRow); }
    int holdOffAfterPulse(int pulseNumber) const;
    void dropOldPulses(qint64 now);

    Clock &m_clock;
    WatchPolicySettings m_settings;
    int m_answers = 0;
    int m_answersBeforePulse = 0;
    int m_misses = 0;
    qint64 m_holdOffUntilMs = -1;
    int m_outagePulses = 0;
    std::deque<qint64> m_pulses; // monotonic times of the pulses in the cap's window
    qint64 m_totalPulses = 0;
    bool m_stoodDown = false;
    int m_answersSinceStandDown = 0;
    QString m_quietKey; // the last quiet decision said
    QString m_allHostsKey;
};

// "1 импульс", "3 импульса", "5 импульсов".
QString russianCount(int n, const char *one, const char *few, const char *many);

} // namespace vardex::service

#pragma once

#include "common/clock.h"
#include "link/device_image.h"
#include "service/decision_log.h"
#include "service/echo.h"
#include "service/watch_policy.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <utility>
#include <vector>

namespace vardex::service {

// The watchdog's timer: the page adapts its QTimer "PingTimer", tests a manual one.
// start() runs with the interval it has; a tick calls Watchdog::timerTick().
class WatchdogTimer {
public:
    virtual ~WatchdogTimer() = default;
    virtual void start() = 0;
    virtual void stop() = 0;
    virtual void setInterval(int ms) = 0;
    virtual int interval() const = 0;
    virtual bool isActive() const = 0;
    // The phase is kept beside the timer, as its tag.
    virtual void setPhase(int phase) = 0;
};

// What the page's controls hold when the watchdog asks.
struct WatchdogInputs {
    QString host;
    int pingTimeoutMs = 500;
    int pingIntervalMs = 3000;
    int actuationMs = 1000;
    bool watching = false;
    int output = 0; // item of the output list; -1 when the text selects no item
    // For unattended cabinets: misses in a row before a pulse, and a hold-off after a
    // pulse in which misses do not count (the host is still booting). The defaults act
    // on the first miss, at once.
    int missesInRow = 1;
    int holdOffS = 0;
    // Further hosts: a round pings every host, and only a round in which all of them
    // missed counts (a gateway that drops echoes alone never pulses). Empty ones are
    // left out; beyond kMaxWatchedHosts in all they are ignored.
    QStringList moreHosts = {};
    int armAfter = 0;  // answers before misses count (since the start, since a pulse)
    int maxPulses = 0; // at most this many pulses in perMin minutes, else stand down
    int perMin = 60;
    int backoffMaxS = 0; // above 0: the hold-off doubles per pulse of an outage, to this
};

// The hosts a round pings, in order: host, then moreHosts, without empty ones.
QStringList watchedHosts(const WatchdogInputs &in);
WatchPolicySettings policySettings(const WatchdogInputs &in);

// What became of an output task handed to the link.
struct TaskDelivery {
    bool sent = false;  // false: no controller to send it to (unplugged, closing)
    qint64 delayMs = 0; // from the decision to the write, when the link was busy
    // Not sent because the controller's outputs could not be read first: a task that
    // keeps the other outputs as they are could not be made.
    bool notRead = false;
};

// Switches the output of item on or off at the controller (ahead of ordinary queued
// work), changing no other output, and calls done once it was written or could not be;
// done may run before this returns.
using TaskSender =
    std::function<void(int item, bool on, std::function<void(const TaskDelivery &)> done)>;

// What the watchdog shows on the page.
class WatchdogView {
public:
    virtual ~WatchdogView() = default;
    virtual WatchdogInputs inputs() const = 0;
    virtual void showReply(const QString &text) = 0;      // stPingAnser
    virtual void showStatusWord(const QString &word) = 0; // PingErrorLabel
    // An error of the echo facility (empty: none); shown on the page, never modal.
    virtual void showFacilityError(const QString &text) = 0;
    virtual void setManualPingEnabled(bool enabled) = 0; // SendPingBtn
    virtual void logChanged() = 0;
    // A round of pings was judged or the policy changed state (watchdog().policy()).
    virtual void policyChanged() {}
};

// "| 64 байт от 127.0.0.1: ТТЛ=64 время=3 мс". A round trip under a millisecond reads
// "время<1 мс".
QString echoReplyText(const EchoResult &r, bool secondPrefix);

// The ping watchdog. Phase 0 (watching): a tick pings; phase 1 (actuating): a tick ends
// the pulse. A failed ping sets the chosen output and starts the pulse; its end clears
// the output chosen then. Echoes are asynchronous, but the watchdog behaves as if they
// blocked: no second ping while one is out, and a click on the watching box or a tick
// that comes meanwhile is handled after the reply, in that order.
//
// One pulse per outage: the pulse's length is timed from the moment its switch-on was
// written, not from the decision, so a switch-on held up by the link keeps the pulse's
// length at the controller; no ping goes out until it was written, and a failed ping
// while a pulse is queued or running is merged into it, so a busy link never piles up
// pulses to replay later. A switch-off that could not be written (no controller) is
// owed and written when the controller is back (controllerConnected()).
class Watchdog {
public:
    enum Phase { Watching = 0, Actuating = 1 };

    enum class Pulse {
        None,
        Starting, // the switch-on is on its way to the controller
        On,       // written; the timer ends it
        Ending,   // the switch-off is on its way
    };

    Watchdog(Echo &echo, WatchdogTimer &timer, WatchdogView &view, TaskSender sendTask,
             Clock &clock = Clock::system());

    void manualPing();
    void timerTick();
    void watchingToggled(bool checked);
    // The controller is there again: a switch-off that could not be written goes now.
    void controllerConnected();
    // The output held on at the controller (a pulse under way, an owed switch-off); -1: none.
    int heldOutput() const;
    // The controller is replaced by a newer one. The caller has switched the held output
    // off on the controller leaving (released) or told the engineer it may still be on;
    // either way the pulse ends here and nothing of it is owed to the newer controller.
    void controllerReplaced(bool released);
    // The controller was pulled out with the output held on: the pulse ends here (its
    // timer would otherwise send the switch-off to whichever controller is plugged in
    // next), and the switch-off is owed (controllerConnected()).
    void controllerGone();
    // The program is closing: the timer stops for good, and a pulse that is on ends now
    // instead of never (its output would otherwise stay on, the watched host off).
    void close();
    // The engineer's button or the watch's signal: a stand-down is lifted.
    void rearm();

    Phase phase() const { return m_phase; }
    Pulse pulse() const { return m_pulse; }
    bool pingOut() const { return m_pingOut; }
    // An output the watchdog switched on and has not yet switched off at the controller.
    bool holdsOutputOn() const { return m_outputOn || m_offOwed; }
    bool switchOffOwed() const { return m_offOwed; }
    int missesCounted() const { return m_policy.state().misses; }
    const DecisionLog &log() const { return m_log; }
    const WatchPolicy &policy() const { return m_policy; }

private:
    void startPing(bool manual);
    void pingNext();
    void onEcho(const EchoResult &r);
    void replyHandler(const QString &host, const EchoResult &r);
    void roundDone();
    void pulse(const WatchdogInputs &in, const QString &why);
    void switchedOn(const TaskDelivery &d, int generation);
    void pulseEnd();
    void applyWatching(bool checked);
    // Hands the output's switch to the link; then is told what became of it.
    void setOutput(int index, bool on, std::function<void(const TaskDelivery &)> then = {});
    void switchOff(int index, const QString &why);
    // Ends a pulse under way without a switch-off of its own; watching goes on.
    void dropPulse();
    void setPhase(Phase p);
    void stopTimer();
    void startTimer();
    void note(const QString &what, WatchRule rule = WatchRule::None);

    Echo &m_echo;
    WatchdogTimer &m_timer;
    WatchdogView &m_view;
    TaskSender m_sendTask;
    Clock &m_clock;
    DecisionLog m_log;
    WatchPolicy m_policy;

    Phase m_phase = Watching;
    bool m_secondPrefix = false;
    bool m_pingOut = false;
    bool m_outputOn = false; // set by a failed ping and not yet cleared
    Pulse m_pulse = Pulse::None;
    int m_pulseGeneration = 0;    // a switch-on answered after the pulse was given up is stale
    bool m_offOwed = false;       // a switch-off found no controller; sent when it is back
    bool m_offOwedUnread = false; // ... or could not read the outputs; tried at each tick
    int m_owedOutput = -1;
    int m_pulseOutput = -1; // the output the pulse under way switched on
    // The round of pings under way: its hosts, the next to ping, what each said.
    QStringList m_roundHosts;
    int m_roundNext = 0;
    bool m_roundManual = false;
    WatchRound m_round;
    unsigned m_roundMissMs = 0;
    QString m_roundFailure;
    std::vector<bool> m_deferredToggles;
    bool m_tickDeferred = false;
    bool m_closed = false;     // for good: nothing more is pinged or decided
    int m_timerGeneration = 0; // counts starts and stops: a deferred tick of a restarted
                               // timer is stale
    int m_deferredTickGeneration = 0;
    // Each host's last echo status for the log (-2: a failure, that of m_lastFailure).
    QHash<QString, int> m_lastStatus;
    QHash<QString, QString> m_lastFailure;
};

} // namespace vardex::service

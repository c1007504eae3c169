#pragma once

#include "common/clock.h"
#include "link/device_image.h"
#include "service/decision_log.h"
#include "service/echo.h"

#include <QString>

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
};

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
};

// "| 64 байт от 127.0.0.1: ТТЛ=64 время=3 мс". A round trip under a millisecond reads
// "время<1 мс".
QString echoReplyText(const EchoResult &r, bool secondPrefix);

// The ping watchdog. Phase 0 (watching): a tick pings; phase 1 (actuating): a tick ends
// the pulse. A failed ping sets the chosen output and starts the pulse; its end clears
// the output chosen then. Echoes are asynchronous, but the watchdog behaves as if they
// blocked: no second ping while one is out, and a click on the watching box or a tick
// that comes meanwhile is handled after the reply, in that order.
class Watchdog {
public:
    enum Phase { Watching = 0, Actuating = 1 };

    // sendTask puts a WriteOutputTask with the given task on the link's queue.
    Watchdog(Echo &echo, WatchdogTimer &timer, WatchdogView &view, link::OutputTask &task,
             std::function<void(const link::OutputTask &)> sendTask,
             Clock &clock = Clock::system());

    void manualPing();
    void timerTick();
    void watchingToggled(bool checked);
    // The program is closing: the timer stops for good, and a pulse that is on ends now
    // instead of never (its output would otherwise stay on, the watched host off).
    void close();

    Phase phase() const { return m_phase; }
    bool pingOut() const { return m_pingOut; }
    const DecisionLog &log() const { return m_log; }

private:
    void startPing(bool manual);
    void onEcho(const EchoResult &r, bool manual);
    void replyHandler(const EchoResult &r);
    void pulseEnd();
    void applyWatching(bool checked);
    void setOutput(int index, bool on);
    void setPhase(Phase p);
    void stopTimer();
    void startTimer();
    void note(const QString &what);

    Echo &m_echo;
    WatchdogTimer &m_timer;
    WatchdogView &m_view;
    link::OutputTask &m_task;
    std::function<void(const link::OutputTask &)> m_sendTask;
    Clock &m_clock;
    DecisionLog m_log;

    Phase m_phase = Watching;
    bool m_secondPrefix = false;
    bool m_pingOut = false;
    bool m_outputOn = false; // set by a failed ping and not yet cleared
    std::vector<bool> m_deferredToggles;
    bool m_tickDeferred = false;
    int m_timerGeneration = 0; // counts starts and stops: a deferred tick of a restarted
                               // timer is stale
    int m_deferredTickGeneration = 0;
    int m_lastStatus = -1; // the last echo's status for the log (-1: none, -2: failure)
    QString m_lastFailure;
};

} // namespace vardex::service

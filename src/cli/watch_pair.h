#pragma once

#include "cli/watch_command.h"
#include "cli/watch_pending.h"
#include "cli/watch_settle.h"
#include "fleet/snapshot.h"
#include "service/watchdog.h"

#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

namespace vardex::link {
class DataModule;
class OperationContext;
} // namespace vardex::link

namespace vardex::cli {

// The controller a watch keeps to, as its pairs see it.
struct WatchedController {
    explicit WatchedController(link::DataModule &module) : dm(module) {}
    link::DataModule &dm;
    QString serial; // empty when it could not be read
    QString node;
    // Once the first controller is gone nothing more goes out from the watchdogs: a
    // controller in its place may be another one, and gets only a checked switch-off.
    bool lost = false;
    // From a borrower's request until the controller is back: switch-ons are held.
    std::function<bool()> away = [] { return false; };
};

// Counts what the watchdog's echoes came to, for the service's figures. A facility that
// failed sent no echo, so it counts as nothing.
class CountingEcho final : public service::Echo {
public:
    CountingEcho(std::unique_ptr<service::Echo> inner, std::function<void()> changed);
    void start(const service::EchoRequest &request, Done done) override;
    bool busy() const override { return m_inner->busy(); }

    std::uint64_t misses() const { return m_misses; }
    std::optional<double> rttSeconds() const { return m_rttSeconds; }

private:
    std::unique_ptr<service::Echo> m_inner;
    std::function<void()> m_changed;
    std::uint64_t m_misses = 0;
    std::optional<double> m_rttSeconds;
};

// One watched host (or hosts that must all miss) and the output it pulses: its own
// watchdog, echo, timer, settings and switch-off record. The controller, the loan and
// the event loop belong to the watch and are shared with the other pairs. The
// watchdog's writes go through deliver() on the link's priority lane and may be reached
// after the watch has ended, so they hold the pair only through a weak reference.
class WatchPair final : public std::enable_shared_from_this<WatchPair> {
public:
    // tagged: the watch has several pairs, so each line names the output.
    WatchPair(const WatchRun &run, const WatchOptions &options, WatchedController &controller,
              bool tagged, std::function<void()> figuresChanged);
    ~WatchPair();

    const WatchOptions &options() const { return m_options; }
    int output() const { return m_options.output; }

    // A switch-off owed goes before anything else. fromStore: the record an earlier run
    // left; otherwise the one this run kept while the controller was away or lent.
    void settleOwed(bool fromStore);
    // Builds the watchdog and starts watching; ticks run on the caller's event loop.
    void start();
    void rearm();
    // How long the pulse under way still runs at the controller (0: none).
    int pulseLeftMs() const;
    // Back from a loan: what is owed, then the pulse that fell due meanwhile.
    void resumeAfterLoan();
    // The loan did not come back or the controller went: nothing held is written.
    void dropHeld() { m_heldSwitchOn = nullptr; }
    // Watching stops; an output the watchdog holds on is switched off (or its record kept).
    void close();
    bool owes() const { return m_pending.has_value(); }
    // The last words: how the pair stopped and what it leaves behind.
    void sayWhatIsLeft(bool controllerGone);
    fleet::WatchFigures figures() const;

    // One line of the pair's log, stamped now.
    void note(const QString &what) const;
    // A line as the decision log words it ("time — what"), with the pair's rule.
    void print(const QString &line, const QString &rule = {}) const;

private:
    class View;
    void deliver(int item, bool on, const std::function<void(const service::TaskDelivery &)> &done);
    void deliverNow(link::OperationContext &op, int item, bool on, qint64 delayMs,
                    const std::function<void(const service::TaskDelivery &)> &done);
    void record();
    void cleared();
    void checkNoted(SwitchOffCheck check, const QString &what);

    const WatchRun &m_run;
    const WatchOptions m_options;
    WatchedController &m_ctl;
    const QString m_name;
    const QString m_tag;
    const std::function<void()> m_figuresChanged;
    std::unique_ptr<View> m_view;
    const PendingStore m_store;
    std::unique_ptr<CountingEcho> m_echo;
    QTimer m_timer;
    std::unique_ptr<service::WatchdogTimer> m_timerAdapter;
    std::unique_ptr<service::Watchdog> m_dog;
    // The record of the pulse under way, or of one an earlier run left.
    std::optional<PendingSwitchOff> m_pending;
    // m_pending came from the record without a serial number in its name.
    bool m_pendingLegacy = false;
    // A switch-on was written and its switch-off not yet: a loan waits for it.
    bool m_pulseAtController = false;
    // A switch-on decided while the controller is lent, written once it is back.
    std::function<void()> m_heldSwitchOn;
    bool m_heldAtStop = false;
};

} // namespace vardex::cli

#include "cli/watch_pair.h"

#include "cli/watch_wait.h"
#include "link/data_module.h"
#include "service/watchdog_output.h"
#include "work/output_switch.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace vardex::cli {

namespace {

class TimerAdapter final : public service::WatchdogTimer {
public:
    explicit TimerAdapter(QTimer &timer) : m_timer(timer) {}
    void start() override { m_timer.start(); }
    void stop() override { m_timer.stop(); }
    void setInterval(int ms) override { m_timer.setInterval(ms); }
    int interval() const override { return m_timer.interval(); }
    bool isActive() const override { return m_timer.isActive(); }
    void setPhase(int) override {}

private:
    QTimer &m_timer;
};

fleet::WatchStance stanceOf(const service::WatchPolicyState &s)
{
    return s.stoodDown       ? fleet::WatchStance::StoodDown
           : !s.armed        ? fleet::WatchStance::NotArmed
           : s.holdOffLeftMs ? fleet::WatchStance::HoldOff
                             : fleet::WatchStance::Armed;
}

QString stanceWord(fleet::WatchStance s)
{
    switch (s) {
    case fleet::WatchStance::StoodDown:
        return QStringLiteral("stood-down");
    case fleet::WatchStance::NotArmed:
        return QStringLiteral("not-armed");
    case fleet::WatchStance::HoldOff:
        return QStringLiteral("hold-off");
    case fleet::WatchStance::Armed:
        break;
    }
    return QStringLiteral("armed");
}

} // namespace

CountingEcho::CountingEcho(std::unique_ptr<service::Echo> inner, std::function<void()> changed)
    : m_inner(std::move(inner)), m_changed(std::move(changed))
{
}

void CountingEcho::start(const service::EchoRequest &request, Done done)
{
    // The inner echo dies with this one and drops a late result, so this outlives the call.
    m_inner->start(request, [this, done = std::move(done)](const service::EchoResult &r) {
        if (!r.facilityFailed()) {
            if (r.status == service::EchoStatus::Answered) {
                m_rttSeconds = r.roundTripUs ? r.roundTripUs / 1e6 : r.roundTripMs / 1000.0;
            } else {
                ++m_misses;
                m_rttSeconds.reset();
            }
        }
        done(r);
        if (m_changed)
            m_changed();
    });
}

// The watchdog's view without a display: inputs from the options, each new line of the
// decision log printed once.
class WatchPair::View final : public service::WatchdogView {
public:
    explicit View(WatchPair &pair) : m_pair(pair) {}
    service::Watchdog *dog = nullptr;
    bool watching = true;

    service::WatchdogInputs inputs() const override
    {
        const WatchOptions &o = m_pair.m_options;
        service::WatchdogInputs in;
        in.host = o.host;
        in.pingTimeoutMs = o.timeoutMs;
        in.pingIntervalMs = o.intervalMs;
        in.actuationMs = o.pulseMs;
        in.watching = watching;
        in.output = o.output;
        in.missesInRow = o.misses;
        in.holdOffS = o.holdOffS;
        in.moreHosts = o.moreHosts;
        in.armAfter = o.armAfter;
        in.maxPulses = o.maxPulses;
        in.perMin = o.perMin;
        in.backoffMaxS = o.backoffMaxS;
        return in;
    }
    void showReply(const QString &) override {}
    void showStatusWord(const QString &) override {}
    void showFacilityError(const QString &) override {}
    void setManualPingEnabled(bool) override {}
    void logChanged() override
    {
        if (!dog)
            return;
        const service::DecisionLog &log = dog->log();
        const auto &lines = log.lines();
        const qint64 fresh =
            std::min<qint64>(log.totalAdded() - m_printed, static_cast<qint64>(lines.size()));
        for (auto i = static_cast<qint64>(lines.size()) - fresh;
             i < static_cast<qint64>(lines.size()); ++i)
            m_pair.print(lines[static_cast<std::size_t>(i)],
                         log.rules()[static_cast<std::size_t>(i)]);
        m_printed = log.totalAdded();
        if (m_pair.m_figuresChanged)
            m_pair.m_figuresChanged();
    }

private:
    WatchPair &m_pair;
    qint64 m_printed = 0;
};

WatchPair::WatchPair(const WatchRun &run, const WatchOptions &options,
                     WatchedController &controller, bool tagged,
                     std::function<void()> figuresChanged)
    : m_run(run), m_options(options), m_ctl(controller),
      m_name(service::watchdogOutputName(options.output)),
      m_tag(tagged ? QStringLiteral("%1: ").arg(watchOutputWord(options.output)) : QString()),
      m_figuresChanged(std::move(figuresChanged)), m_view(std::make_unique<View>(*this)),
      m_store(run.stateDir, options.output, controller.serial),
      m_echo(std::make_unique<CountingEcho>(run.makeEcho(), m_figuresChanged)),
      m_timerAdapter(std::make_unique<TimerAdapter>(m_timer))
{
    // Unattended, the first ping comes one ping interval after the start.
    m_timer.setInterval(options.intervalMs);
}

WatchPair::~WatchPair() = default;

void WatchPair::note(const QString &what) const
{
    print(QStringLiteral("%1 — %2").arg(watchStamp(QDateTime::currentDateTime()), what));
}

void WatchPair::print(const QString &line, const QString &rule) const
{
    // "yyyy-MM-dd hh:mm:ss — what"
    const qsizetype dash = line.indexOf(QStringLiteral(" — "));
    if (m_run.lines) {
        m_run.lines({line.left(dash), m_options.host, watchOutputWord(m_options.output),
                     line.mid(dash + 3), rule});
        return;
    }
    if (!m_run.json) {
        m_run.out(dash < 0 || m_tag.isEmpty()
                      ? line + QLatin1Char('\n')
                      : line.left(dash + 3) + m_tag + line.mid(dash + 3) + QLatin1Char('\n'));
        return;
    }
    QJsonObject o{{QStringLiteral("time"), line.left(dash)},
                  {QStringLiteral("host"), m_options.host},
                  {QStringLiteral("output"), watchOutputWord(m_options.output)},
                  {QStringLiteral("decision"), line.mid(dash + 3)}};
    if (!m_options.moreHosts.isEmpty())
        o.insert(QStringLiteral("hosts"),
                 QJsonArray::fromStringList(service::watchedHosts(m_view->inputs())));
    if (!rule.isEmpty())
        o.insert(QStringLiteral("rule"), rule);
    if (m_dog) {
        const service::WatchPolicyState s = m_dog->policy().state();
        o.insert(QStringLiteral("state"), stanceWord(stanceOf(s)));
        o.insert(QStringLiteral("pulses_in_window"), s.pulsesInWindow);
    }
    m_run.out(QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact)) +
              QLatin1Char('\n'));
}

fleet::WatchFigures WatchPair::figures() const
{
    fleet::WatchFigures f;
    f.host = m_options.host;
    f.output = watchOutputWord(m_options.output);
    f.misses = m_echo->misses();
    f.rttSeconds = m_echo->rttSeconds();
    if (m_dog) {
        const service::WatchPolicyState s = m_dog->policy().state();
        f.pulses = static_cast<std::uint64_t>(std::max<qint64>(0, s.totalPulses));
        f.stance = stanceOf(s);
    }
    return f;
}

void WatchPair::record()
{
    PendingSwitchOff p;
    p.output = m_options.output;
    p.serial = m_ctl.serial;
    p.node = m_ctl.node;
    p.since = QDateTime::currentDateTimeUtc();
    m_pending = p;
    QString why;
    if (!m_store.save(p, &why))
        note(QStringLiteral("отложенное выключение %1 не записано (%2): если контроллер "
                            "пропадёт во время импульса, следующий запуск его не выключит")
                 .arg(m_name, why));
}

void WatchPair::cleared()
{
    // The outputs read back with the output off: nothing is owed any more, also not the
    // record under the older name this run settled.
    m_pending.reset();
    QString why;
    if (!m_store.remove(&why, std::exchange(m_pendingLegacy, false)))
        note(QStringLiteral("запись об отложенном выключении не удалена: %1").arg(why));
}

void WatchPair::checkNoted(SwitchOffCheck check, const QString &what)
{
    switch (check) {
    case SwitchOffCheck::Confirmed:
        note(QStringLiteral("%1 — %2 выкл. отправлено и подтверждено чтением выходов")
                 .arg(what, m_name));
        cleared();
        return;
    case SwitchOffCheck::StillOn:
        note(QStringLiteral("%1 — %2 выкл. отправлено, но выход по-прежнему включён "
                            "(его может держать контур); запись оставлена")
                 .arg(what, m_name));
        return;
    case SwitchOffCheck::NotReadBack:
        note(QStringLiteral("%1 — %2 выкл. отправлено, выходы не прочитаны; запись оставлена")
                 .arg(what, m_name));
        return;
    case SwitchOffCheck::NotSent:
        note(QStringLiteral("%1 — %2 выкл. НЕ отправлено: выходы контроллера не прочитаны; "
                            "запись оставлена")
                 .arg(what, m_name));
        return;
    }
}

void WatchPair::settleOwed(bool fromStore)
{
    if (fromStore) {
        const PendingStore::Loaded l = m_store.load();
        if (l.state == PendingStore::Loaded::State::None)
            return;
        if (l.state == PendingStore::Loaded::State::Unreadable ||
            l.pending.output != m_options.output) {
            note(QStringLiteral("запись об отложенном выключении %1 не прочитана (%2): "
                                "ничего не отправлено, запись оставлена")
                     .arg(l.path, l.pending.output != m_options.output && l.why.isEmpty()
                                      ? QStringLiteral("другой выход")
                                      : l.why));
            return;
        }
        if (matchPending(l.pending, m_ctl.serial, m_ctl.node) == PendingMatch::OtherController) {
            // Not this run's to settle: the record stays for its own controller.
            note(QStringLiteral("отложенное выключение (импульс с %1) — %2 выкл. НЕ "
                                "отправлено: оно для контроллера %3, подключён другой (%4); "
                                "запись оставлена")
                     .arg(watchStamp(l.pending.since.toLocalTime()), m_name,
                          controllerText(l.pending.serial, l.pending.node),
                          controllerText(m_ctl.serial, m_ctl.node)));
            return;
        }
        m_pending = l.pending;
        m_pendingLegacy = l.path != m_store.path();
    }
    if (!m_pending)
        return;
    const QString what = QStringLiteral("отложенное выключение (импульс с %1)")
                             .arg(watchStamp(m_pending->since.toLocalTime()));
    if (matchPending(*m_pending, m_ctl.serial, m_ctl.node) == PendingMatch::OtherController) {
        note(QStringLiteral("%1 — %2 выкл. НЕ отправлено: оно для контроллера %3, "
                            "подключён другой (%4); запись оставлена")
                 .arg(what, m_name, controllerText(m_pending->serial, m_pending->node),
                      controllerText(m_ctl.serial, m_ctl.node)));
        return;
    }
    SwitchOffCheck check = SwitchOffCheck::NotSent;
    if (!runSequence(m_ctl.dm, [this, &check](link::OperationContext &ctx) {
            check = switchOffChecked(ctx, m_options.output);
        }))
        check = SwitchOffCheck::NotSent;
    checkNoted(check, what);
}

void WatchPair::deliver(int item, bool on,
                        const std::function<void(const service::TaskDelivery &)> &done)
{
    QElapsedTimer decided;
    decided.start();
    // The lane may reach this after the watch has ended (a link held past the stop):
    // then nothing is written on its behalf.
    std::weak_ptr<WatchPair> self = weak_from_this();
    m_ctl.dm.runPriority([self, item, on, decided, done](link::OperationContext &op) {
        if (const std::shared_ptr<WatchPair> pair = self.lock())
            pair->deliverNow(op, item, on, decided.elapsed(), done);
    });
}

void WatchPair::deliverNow(link::OperationContext &op, int item, bool on, qint64 delayMs,
                           const std::function<void(const service::TaskDelivery &)> &done)
{
    service::TaskDelivery d;
    d.delayMs = delayMs;
    if (op.hasDevice() && !op.cancelled() && !m_ctl.lost) {
        const work::OutputSwitch s = work::switchOutputs(
            op,
            [&](link::OutputTask &task) {
                service::setWatchdogOutput(task, item, on);
                // Recorded before it is written: a watch killed during the pulse leaves
                // the record for the next one.
                if (on)
                    record();
            },
            0);
        d.sent = s.read;
        d.notRead = !s.read && op.hasDevice() && !op.cancelled();
    }
    m_pulseAtController = d.sent && on;
    if (done)
        done(d);
    if (d.sent && !on && m_pending)
        checkNoted(confirmSwitchedOff(op, m_options.output), QStringLiteral("проверка"));
}

void WatchPair::start()
{
    m_dog = std::make_unique<service::Watchdog>(
        *m_echo, *m_timerAdapter, *m_view,
        [this](int item, bool on, std::function<void(const service::TaskDelivery &)> done) {
            // A pulse that falls due while the controller is lent is taken once, at its
            // return; the switch-off of a pulse under way still goes out before the loan.
            if (on && m_ctl.away()) {
                m_heldSwitchOn = [this, item, on, done] { deliver(item, on, done); };
                return;
            }
            deliver(item, on, done);
        });
    m_view->dog = m_dog.get();
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { m_dog->timerTick(); });
    m_dog->watchingToggled(true);
}

void WatchPair::rearm()
{
    if (m_dog)
        m_dog->rearm();
}

int WatchPair::pulseLeftMs() const
{
    return m_pulseAtController ? m_options.pulseMs : 0;
}

void WatchPair::resumeAfterLoan()
{
    // Every switch reads the outputs first, so what the borrower left is kept.
    settleOwed(false);
    if (auto held = std::exchange(m_heldSwitchOn, nullptr))
        held();
}

void WatchPair::close()
{
    if (!m_dog)
        return;
    m_view->watching = false;
    m_heldAtStop = m_dog->holdsOutputOn();
    m_dog->close();
}

void WatchPair::sayWhatIsLeft(bool controllerGone)
{
    if (!controllerGone) {
        note(m_pending ? QStringLiteral("наблюдение остановлено по сигналу")
             : m_heldAtStop
                 ? QStringLiteral("наблюдение остановлено по сигналу, %1 выключено").arg(m_name)
                 : QStringLiteral("наблюдение остановлено по сигналу, %1 не было "
                                  "включено")
                       .arg(m_name));
    }
    if (!m_pending)
        return;
    const QString where = m_pendingLegacy ? m_store.legacyPath() : m_store.path();
    note(QFileInfo::exists(where)
             ? QStringLiteral("%1 может оставаться включённым: выключение записано в %2 и "
                              "будет отправлено при следующем запуске наблюдения")
                   .arg(m_name, where)
             : QStringLiteral("%1 может оставаться включённым, а выключение не записано: "
                              "выключите выход вручную")
                   .arg(m_name));
}

} // namespace vardex::cli

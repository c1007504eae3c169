#include "cli/watch_command.h"

#include "cli/invocation.h"
#include "cli/watch_loan.h"
#include "cli/watch_pending.h"
#include "cli/watch_settle.h"
#include "link/data_module.h"
#include "link/protocol.h"
#include "service/watchdog.h"
#include "service/watchdog_output.h"
#include "work/output_switch.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QTimer>

namespace vardex::cli {

namespace {

constexpr int kStopPollMs = 50;
// A switch-off owed at the stop gets this long to reach the controller.
constexpr int kStopBoundMs = 2000;
// A sequence of the watch's own (identity, the outputs) waits this long for the link.
constexpr int kSequenceBoundMs = 5000;

struct Limits {
    const char *name;
    int WatchOptions::*field;
    int min;
    int max;
};

// The page's own ranges.
const Limits kLimits[] = {
    {"--interval", &WatchOptions::intervalMs, 100, 10000},
    {"--timeout", &WatchOptions::timeoutMs, 100, 5000},
    {"--pulse", &WatchOptions::pulseMs, 100, 10000},
    {"--misses", &WatchOptions::misses, 1, 100},
    {"--hold-off", &WatchOptions::holdOffS, 0, 3600},
    {"--arm-after", &WatchOptions::armAfter, 0, 100},
    {"--max-pulses", &WatchOptions::maxPulses, 0, 100},
    {"--per", &WatchOptions::perMin, 1, 1440},
    {"--backoff", &WatchOptions::backoffMaxS, 0, 86400},
};

class QTimerAdapter final : public service::WatchdogTimer {
public:
    QTimer timer;
    void start() override { timer.start(); }
    void stop() override { timer.stop(); }
    void setInterval(int ms) override { timer.setInterval(ms); }
    int interval() const override { return timer.interval(); }
    bool isActive() const override { return timer.isActive(); }
    void setPhase(int) override {}
};

// The watchdog's view without a display: inputs from the options, each new line of the
// decision log printed once.
class LineView final : public service::WatchdogView {
public:
    LineView(const WatchRun &run) : m_run(run) {}
    service::Watchdog *dog = nullptr;
    bool watching = true;

    service::WatchdogInputs inputs() const override
    {
        const WatchOptions &o = m_run.options;
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
            print(lines[static_cast<std::size_t>(i)], log.rules()[static_cast<std::size_t>(i)]);
        m_printed = log.totalAdded();
    }
    void print(const QString &line, const QString &rule = {}) const
    {
        if (!m_run.json) {
            m_run.out(line + QLatin1Char('\n'));
            return;
        }
        // "yyyy-MM-dd hh:mm:ss — what"
        const qsizetype dash = line.indexOf(QStringLiteral(" — "));
        QJsonObject o{{QStringLiteral("time"), line.left(dash)},
                      {QStringLiteral("host"), m_run.options.host},
                      {QStringLiteral("decision"), line.mid(dash + 3)}};
        if (!m_run.options.moreHosts.isEmpty())
            o.insert(QStringLiteral("hosts"),
                     QJsonArray::fromStringList(service::watchedHosts(inputs())));
        if (!rule.isEmpty())
            o.insert(QStringLiteral("rule"), rule);
        if (dog) {
            const service::WatchPolicyState s = dog->policy().state();
            o.insert(QStringLiteral("state"), s.stoodDown       ? QStringLiteral("stood-down")
                                              : !s.armed        ? QStringLiteral("not-armed")
                                              : s.holdOffLeftMs ? QStringLiteral("hold-off")
                                                                : QStringLiteral("armed"));
            o.insert(QStringLiteral("pulses_in_window"), s.pulsesInWindow);
        }
        m_run.out(QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact)) +
                  QLatin1Char('\n'));
    }

private:
    const WatchRun &m_run;
    qint64 m_printed = 0;
};

} // namespace

int watchOutputItem(const QString &name)
{
    return service::watchdogOutputOfWord(name);
}

bool isWatchOption(const QString &argument)
{
    const QString name = argument.section(QLatin1Char('='), 0, 0);
    if (name == QLatin1String("--output"))
        return true;
    for (const Limits &l : kLimits)
        if (name == QLatin1String(l.name))
            return true;
    return false;
}

std::optional<WatchOptions> parseWatchOptions(const QStringList &words, QString *error)
{
    WatchOptions o;
    bool outputGiven = false;
    for (qsizetype i = 0; i < words.size(); ++i) {
        QString name = words[i];
        QString value;
        if (name.startsWith(QLatin1String("--"))) {
            const qsizetype eq = name.indexOf(QLatin1Char('='));
            if (eq >= 0) {
                value = name.mid(eq + 1);
                name = name.left(eq);
            } else if (i + 1 < words.size()) {
                value = words[++i];
            } else {
                *error = QStringLiteral("watch: %1 без значения").arg(name);
                return std::nullopt;
            }
            if (name == QLatin1String("--output")) {
                o.output = watchOutputItem(value);
                outputGiven = true;
                if (o.output < 0) {
                    *error = QStringLiteral("watch: выход «%1»: ожидается relay1..relay6, "
                                            "h1..h4 или l1..l4")
                                 .arg(value);
                    return std::nullopt;
                }
                continue;
            }
            const Limits *limits = nullptr;
            for (const Limits &l : kLimits)
                if (name == QLatin1String(l.name))
                    limits = &l;
            bool ok = false;
            const int number = value.toInt(&ok);
            if (!limits || !ok || number < limits->min || number > limits->max) {
                *error = limits ? QStringLiteral("watch: %1 %2: ожидается число %3..%4")
                                      .arg(name, value)
                                      .arg(limits->min)
                                      .arg(limits->max)
                                : QStringLiteral("watch: неизвестный параметр %1").arg(name);
                return std::nullopt;
            }
            o.*(limits->field) = number;
            continue;
        }
        if (o.host.isEmpty()) {
            o.host = name;
            continue;
        }
        if (o.moreHosts.size() + 1 >= service::kMaxWatchedHosts) {
            *error = QStringLiteral("watch: лишний аргумент «%1»: узлов не более %2")
                         .arg(name)
                         .arg(service::kMaxWatchedHosts);
            return std::nullopt;
        }
        o.moreHosts << name;
    }
    if (o.host.isEmpty()) {
        *error = QStringLiteral("watch: не указан узел");
        return std::nullopt;
    }
    if (o.backoffMaxS > 0 && o.holdOffS == 0) {
        // Twice nothing is nothing: a back-off without a pause would silently do nothing.
        *error = QStringLiteral("watch: --backoff удваивает паузу после срабатывания: "
                                "задайте и --hold-off");
        return std::nullopt;
    }
    if (!outputGiven) {
        // Never a default: the wrong output would power-cycle another machine.
        *error = QStringLiteral("watch: не указан выход (--output relay1 …)");
        return std::nullopt;
    }
    return o;
}

namespace {

QString stamp(const QDateTime &t)
{
    return t.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

// Runs the event loop until done() holds or ms pass.
bool spinUntil(const std::function<bool()> &done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (done() || clock.elapsed() >= ms)
            loop.quit();
    });
    if (done())
        return true;
    tick.start(10);
    loop.exec();
    return done();
}

// One sequence of exchanges, waited for. A sequence that could not start in time is
// given up: when the link reaches it later it does nothing, so what it refers to may be
// gone by then.
bool runSequence(link::DataModule &dm, const std::function<void(link::OperationContext &)> &fn)
{
    auto state = std::make_shared<int>(0); // 0 waiting, 1 done, -1 given up
    dm.runOperation([state, fn](link::OperationContext &ctx) {
        if (*state != 0)
            return;
        fn(ctx);
        *state = 1;
    });
    if (spinUntil([&state] { return *state == 1; }, kSequenceBoundMs))
        return true;
    *state = -1;
    return false;
}

QString controllerText(const QString &serial, const QString &node)
{
    QString text =
        serial.isEmpty() ? QStringLiteral("S/N неизвестен") : QStringLiteral("S/N=%1").arg(serial);
    if (!node.isEmpty())
        text += QStringLiteral(", %1").arg(node);
    return text;
}

} // namespace

namespace {

// One watch: the controller it started on, the watchdog that decides, and the record of
// the switch-off it owes. run() takes the steps in order; the watchdog's writes go
// through deliver() on the link's priority lane, and may be reached after run() has
// returned, so they hold the watch only through a weak reference.
class Watch final : public std::enable_shared_from_this<Watch> {
public:
    explicit Watch(WatchRun &run)
        : m_run(run), m_dm(run.dm), m_output(run.options.output),
          m_name(service::watchdogOutputName(m_output)), m_view(run),
          m_store(run.stateDir, m_output), m_node(m_dm.currentDevice().id)
    {
    }

    int run();

private:
    // ---- the steps, in order ----
    // Who the controller is, and the outputs as it drives them now.
    void identify();
    // A switch-off an earlier run owes goes before anything else.
    void settleOwed(const std::optional<PendingSwitchOff> &held);
    // Builds the watchdog and runs until the stop signal or the controller goes away.
    void watchUntilStopOrGone();
    // An output the watchdog holds on is switched off (or the log says it could not be).
    void closeWatchdog();
    // A controller that went away with a switch-off owed may come back within seconds.
    void awaitReturn();
    // Lending (cli/watch_loan.h): borrowers are heard while the watch runs.
    void offerLoans();
    // Back from a loan: what is owed, then the pulse that fell due while the controller
    // was away.
    void resumeAfterLoan(bool back);
    // The last words: what the watch leaves behind.
    void sayWhatIsLeft();

    // Whether the link may take a device that arrives: not another controller while this
    // one is there.
    bool admits(const link::HidDeviceInfo &d);

    // ---- the watchdog's writes ----
    void deliver(int item, bool on, const std::function<void(const service::TaskDelivery &)> &done);
    void deliverNow(link::OperationContext &op, int item, bool on, qint64 delayMs,
                    const std::function<void(const service::TaskDelivery &)> &done);

    // ---- the switch-off record ----
    void record();
    void cleared();
    void checkNoted(SwitchOffCheck check, const QString &what);

    void note(const QString &what) const;
    bool stopped() const { return m_run.stop && m_run.stop->load(); }

    WatchRun &m_run;
    link::DataModule &m_dm;
    const int m_output;
    const QString m_name;
    LineView m_view;
    const PendingStore m_store;
    std::unique_ptr<service::Echo> m_echo;
    QTimerAdapter m_timer;
    std::unique_ptr<service::Watchdog> m_dog;
    QEventLoop m_loop;

    QString m_serial;
    QString m_node;
    bool m_controllerGone = false;
    // Once the first controller is gone nothing more goes out from the watchdog: a
    // controller in its place may be another one, and gets only a checked switch-off.
    bool m_controllerLost = false;
    QSet<QString> m_ignored; // other controllers' nodes, logged once each
    bool m_heldAtStop = false;
    // The record of the pulse under way, or of one an earlier run left.
    std::optional<PendingSwitchOff> m_pending;
    // A switch-on was written and its switch-off not yet: a loan waits for it.
    bool m_pulseAtController = false;
    std::unique_ptr<WatchLoan> m_loan;
    // A switch-on decided while the controller is lent, written once it is back.
    std::function<void()> m_heldSwitchOn;
};

void Watch::note(const QString &what) const
{
    m_view.print(QStringLiteral("%1 — %2").arg(stamp(QDateTime::currentDateTime()), what));
}

int Watch::run()
{
    m_echo = m_run.makeEcho();
    // Unattended, the first ping comes one ping interval after the start.
    m_timer.timer.setInterval(m_run.options.intervalMs);
    identify();
    if (!m_controllerGone)
        settleOwed(std::nullopt);
    offerLoans();
    watchUntilStopOrGone();
    closeWatchdog();
    if (m_pending && m_controllerGone)
        awaitReturn();
    sayWhatIsLeft();
    m_loan.reset();
    return m_controllerGone ? kExitNoController : kExitOk;
}

void Watch::offerLoans()
{
    if (!m_run.lending)
        return;
    WatchLoan::Hooks hooks;
    hooks.pulseLeftMs = [this] { return m_pulseAtController ? m_run.options.pulseMs : 0; };
    hooks.note = [this](const QString &line) { note(line); };
    hooks.resumed = [this](bool back) { resumeAfterLoan(back); };
    m_loan = std::make_unique<WatchLoan>(m_dm, *m_run.lending, std::move(hooks));
}

void Watch::resumeAfterLoan(bool back)
{
    if (!back) {
        m_controllerGone = true;
        m_controllerLost = true;
        m_heldSwitchOn = nullptr;
        note(QStringLiteral("контроллер отключен, наблюдение прекращено"));
        m_loop.quit();
        return;
    }
    // Every switch reads the outputs first, so what the borrower left is kept.
    settleOwed(m_pending);
    if (auto held = std::exchange(m_heldSwitchOn, nullptr))
        held();
}

void Watch::identify()
{
    runSequence(m_dm,
                [this](link::OperationContext &ctx) { m_serial = readControllerSerial(ctx); });
    // The watch stays with this controller: another one arriving while it is there is
    // not taken (the link would otherwise hand it this controller's pulse).
    std::weak_ptr<Watch> self = weak_from_this();
    m_dm.setDeviceFilter([self, only = m_run.device](const link::HidDeviceInfo &d) {
        if (!only.isEmpty() && d.id != only)
            return false;
        const std::shared_ptr<Watch> watch = self.lock();
        return !watch || watch->admits(d);
    });
}

bool Watch::admits(const link::HidDeviceInfo &d)
{
    if (!m_dm.isConnected() || d.id == m_dm.currentDevice().id)
        return true;
    if (!m_ignored.contains(d.id)) {
        m_ignored.insert(d.id);
        note(QStringLiteral("подключён ещё один контроллер (%1): не взят, наблюдение остаётся "
                            "с контроллером %2")
                 .arg(d.id, controllerText(m_serial, m_node)));
    }
    return false;
}

void Watch::record()
{
    if (m_pending && matchPending(*m_pending, m_serial, m_node) == PendingMatch::OtherController)
        note(QStringLiteral("запись об отложенном выключении для контроллера %1 заменена "
                            "записью этого импульса")
                 .arg(controllerText(m_pending->serial, m_pending->node)));
    PendingSwitchOff p;
    p.output = m_output;
    p.serial = m_serial;
    p.node = m_node;
    p.since = QDateTime::currentDateTimeUtc();
    m_pending = p;
    QString why;
    if (!m_store.save(p, &why))
        note(QStringLiteral("отложенное выключение %1 не записано (%2): если контроллер "
                            "пропадёт во время импульса, следующий запуск его не выключит")
                 .arg(m_name, why));
}

void Watch::cleared()
{
    // The outputs read back with the output off: nothing is owed any more.
    m_pending.reset();
    QString why;
    if (!m_store.remove(&why))
        note(QStringLiteral("запись об отложенном выключении не удалена: %1").arg(why));
}

void Watch::checkNoted(SwitchOffCheck check, const QString &what)
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

void Watch::settleOwed(const std::optional<PendingSwitchOff> &held)
{
    // held: the record this run kept while the controller was away; without one, the
    // record an earlier run left.
    std::optional<PendingSwitchOff> p = held;
    if (!p) {
        const PendingStore::Loaded l = m_store.load();
        if (l.state == PendingStore::Loaded::State::None)
            return;
        if (l.state == PendingStore::Loaded::State::Unreadable || l.pending.output != m_output) {
            note(QStringLiteral("запись об отложенном выключении %1 не прочитана (%2): "
                                "ничего не отправлено, запись оставлена")
                     .arg(m_store.path(), l.pending.output != m_output && l.why.isEmpty()
                                              ? QStringLiteral("другой выход")
                                              : l.why));
            return;
        }
        p = l.pending;
        m_pending = p;
    }
    const QString what =
        QStringLiteral("отложенное выключение (импульс с %1)").arg(stamp(p->since.toLocalTime()));
    if (matchPending(*p, m_serial, m_node) == PendingMatch::OtherController) {
        note(QStringLiteral("%1 — %2 выкл. НЕ отправлено: оно для контроллера %3, "
                            "подключён другой (%4); запись оставлена")
                 .arg(what, m_name, controllerText(p->serial, p->node),
                      controllerText(m_serial, m_node)));
        return;
    }
    SwitchOffCheck check = SwitchOffCheck::NotSent;
    if (!runSequence(m_dm, [this, &check](link::OperationContext &ctx) {
            check = switchOffChecked(ctx, m_output);
        }))
        check = SwitchOffCheck::NotSent;
    checkNoted(check, what);
}

void Watch::deliver(int item, bool on,
                    const std::function<void(const service::TaskDelivery &)> &done)
{
    QElapsedTimer decided;
    decided.start();
    // The lane may reach this after the watch has ended (a link held past the stop):
    // then nothing is written on its behalf.
    std::weak_ptr<Watch> self = weak_from_this();
    m_dm.runPriority([self, item, on, decided, done](link::OperationContext &op) {
        if (const std::shared_ptr<Watch> watch = self.lock())
            watch->deliverNow(op, item, on, decided.elapsed(), done);
    });
}

void Watch::deliverNow(link::OperationContext &op, int item, bool on, qint64 delayMs,
                       const std::function<void(const service::TaskDelivery &)> &done)
{
    service::TaskDelivery d;
    d.delayMs = delayMs;
    if (op.hasDevice() && !op.cancelled() && !m_controllerLost) {
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
        checkNoted(confirmSwitchedOff(op, m_output), QStringLiteral("проверка"));
}

void Watch::watchUntilStopOrGone()
{
    m_dog = std::make_unique<service::Watchdog>(
        *m_echo, m_timer, m_view,
        [this](int item, bool on, std::function<void(const service::TaskDelivery &)> done) {
            // A pulse that falls due while the controller is lent is taken once, at its
            // return; the switch-off of a pulse under way still goes out before the loan.
            if (m_loan && m_loan->away() && on) {
                m_heldSwitchOn = [this, item, on, done] { deliver(item, on, done); };
                return;
            }
            deliver(item, on, done);
        });
    m_view.dog = m_dog.get();
    QObject::connect(&m_timer.timer, &QTimer::timeout, &m_loop, [this] { m_dog->timerTick(); });
    const QMetaObject::Connection gone = QObject::connect(
        &m_dm, &link::DataModule::connectionChanged, &m_loop, [this](bool connected) {
            if (connected || m_controllerGone || (m_loan && m_loan->away()))
                return;
            m_controllerGone = true;
            m_controllerLost = true;
            note(QStringLiteral("контроллер отключен, наблюдение прекращено"));
            m_loop.quit();
        });
    QTimer stopPoll;
    QObject::connect(&stopPoll, &QTimer::timeout, &m_loop, [this] {
        if (stopped())
            m_loop.quit();
        else if (m_run.rearm && m_run.rearm->exchange(false))
            m_dog->rearm();
    });
    stopPoll.start(kStopPollMs);
    m_dog->watchingToggled(true);
    if (!m_controllerGone && !stopped())
        m_loop.exec();
    QObject::disconnect(gone);
}

void Watch::closeWatchdog()
{
    m_view.watching = false;
    m_heldAtStop = m_dog->holdsOutputOn();
    m_dog->close();
    spinUntil([this] { return !m_dm.isBusy(); }, kStopBoundMs);
}

void Watch::awaitReturn()
{
    // A controller that drops off the bus for a moment (a USB reset) is back within
    // seconds; the switch-off then goes out now, not after a restart of the watch.
    const bool back =
        spinUntil([this] { return m_dm.isConnected() || stopped(); }, m_run.returnGraceMs);
    if (!back || !m_dm.isConnected())
        return;
    m_node = m_dm.currentDevice().id;
    m_serial.clear();
    runSequence(m_dm,
                [this](link::OperationContext &ctx) { m_serial = readControllerSerial(ctx); });
    settleOwed(m_pending);
}

void Watch::sayWhatIsLeft()
{
    if (!m_controllerGone) {
        note(m_pending ? QStringLiteral("наблюдение остановлено по сигналу")
             : m_heldAtStop
                 ? QStringLiteral("наблюдение остановлено по сигналу, %1 выключено").arg(m_name)
                 : QStringLiteral("наблюдение остановлено по сигналу, %1 не было "
                                  "включено")
                       .arg(m_name));
    }
    if (!m_pending)
        return;
    const QString where = m_store.path();
    note(QFileInfo::exists(where)
             ? QStringLiteral("%1 может оставаться включённым: выключение записано в %2 и "
                              "будет отправлено при следующем запуске наблюдения")
                   .arg(m_name, where)
             : QStringLiteral("%1 может оставаться включённым, а выключение не записано: "
                              "выключите выход вручную")
                   .arg(m_name));
}

} // namespace

int runWatch(WatchRun &run)
{
    if (!run.makeEcho) {
        run.err(QStringLiteral("vardex-cli: эхо-запрос ICMP недоступен\n"));
        return kExitNoController;
    }
    const auto watch = std::make_shared<Watch>(run);
    const int code = watch->run();
    // Any controller may be taken again (a later command in the same process).
    const QString only = run.device;
    run.dm.setDeviceFilter(
        [only](const link::HidDeviceInfo &d) { return only.isEmpty() || d.id == only; });
    return code;
}

} // namespace vardex::cli

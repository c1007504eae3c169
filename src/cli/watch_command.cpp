#include "cli/watch_command.h"

#include "cli/invocation.h"
#include "link/data_module.h"
#include "link/protocol.h"
#include "service/watchdog.h"
#include "service/watchdog_output.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

namespace vardex::cli {

namespace {

constexpr int kStopPollMs = 50;
// A switch-off owed at the stop gets this long to reach the controller.
constexpr int kStopBoundMs = 2000;
constexpr int kStateWaitMs = 500;

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
            print(lines[static_cast<std::size_t>(i)]);
        m_printed = log.totalAdded();
    }
    void print(const QString &line) const
    {
        if (!m_run.json) {
            m_run.out(line + QLatin1Char('\n'));
            return;
        }
        // "yyyy-MM-dd hh:mm:ss — what"
        const qsizetype dash = line.indexOf(QStringLiteral(" — "));
        const QJsonObject o{{QStringLiteral("time"), line.left(dash)},
                            {QStringLiteral("host"), m_run.options.host},
                            {QStringLiteral("decision"), line.mid(dash + 3)}};
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
    const QString n = name.trimmed().toLower();
    bool ok = false;
    if (n.startsWith(QLatin1String("relay"))) {
        const int k = n.mid(5).toInt(&ok);
        return ok && k >= 1 && k <= 6 ? 7 + k : -1;
    }
    if (n.size() == 2 && (n[0] == QLatin1Char('h') || n[0] == QLatin1Char('l'))) {
        const int k = n.mid(1).toInt(&ok);
        if (!ok || k < 1 || k > 4)
            return -1;
        return (n[0] == QLatin1Char('h') ? 0 : 4) + k - 1;
    }
    return -1;
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
        if (!o.host.isEmpty()) {
            *error = QStringLiteral("watch: лишний аргумент «%1»").arg(name);
            return std::nullopt;
        }
        o.host = name;
    }
    if (o.host.isEmpty()) {
        *error = QStringLiteral("watch: не указан узел");
        return std::nullopt;
    }
    if (!outputGiven) {
        // Never a default: the wrong output would power-cycle another machine.
        *error = QStringLiteral("watch: не указан выход (--output relay1 …)");
        return std::nullopt;
    }
    return o;
}

int runWatch(WatchRun &run)
{
    if (!run.makeEcho) {
        run.err(QStringLiteral("vardex-cli: эхо-запрос ICMP недоступен\n"));
        return kExitNoController;
    }
    link::DataModule &dm = run.dm;
    const std::unique_ptr<service::Echo> echo = run.makeEcho();
    QTimerAdapter timer;
    // Unattended, the first ping comes one ping interval after the start.
    timer.timer.setInterval(run.options.intervalMs);
    LineView view(run);
    QEventLoop loop;
    bool controllerGone = false;
    bool alive = true;

    service::Watchdog dog(*echo, timer, view, dm.image().outputTask,
                          [&dm, &alive](const link::OutputTask &task,
                                        std::function<void(const service::TaskDelivery &)> done) {
                              QElapsedTimer decided;
                              decided.start();
                              dm.runPriority(
                                  [&alive, task, decided, done](link::OperationContext &op) {
                                      service::TaskDelivery d;
                                      d.sent = op.hasDevice() && !op.cancelled();
                                      d.delayMs = decided.elapsed();
                                      if (d.sent)
                                          service::sendWatchdogTask(op, task);
                                      if (alive && done)
                                          done(d);
                                  });
                          });
    view.dog = &dog;
    QObject::connect(&timer.timer, &QTimer::timeout, &loop, [&dog] { dog.timerTick(); });
    const QMetaObject::Connection gone =
        QObject::connect(&dm, &link::DataModule::connectionChanged, &loop, [&](bool connected) {
            if (connected || controllerGone)
                return;
            controllerGone = true;
            view.print(QStringLiteral("%1 — контроллер отключен, наблюдение прекращено")
                           .arg(QDateTime::currentDateTime().toString(
                               QStringLiteral("yyyy-MM-dd hh:mm:ss"))));
            loop.quit();
        });
    QTimer stopPoll;
    QObject::connect(&stopPoll, &QTimer::timeout, &loop, [&] {
        if (run.stop && run.stop->load())
            loop.quit();
    });
    stopPoll.start(kStopPollMs);

    // The task the watchdog writes is the whole output task: start from what the
    // controller's outputs are now, so that a pulse does not switch the others off.
    dm.runOperation([](link::OperationContext &ctx) {
        ctx.send(link::protocol::readState(0));
        if (!ctx.waitReply(kStateWaitMs) || ctx.lastReplyWasError())
            return;
        const link::MonitorState &s = ctx.image().state;
        link::OutputTask &task = ctx.image().outputTask;
        task.ttlOutputsTask = s.ttlOutputs;
        task.switchesTask = s.switches;
        task.relaysTask = s.relays;
        task.fanTask = s.fanTasks;
    });
    dog.watchingToggled(true);
    if (!controllerGone && !(run.stop && run.stop->load()))
        loop.exec();
    stopPoll.stop();
    QObject::disconnect(gone);

    view.watching = false;
    // Stopped or the controller gone: an output the watchdog holds on is switched off
    // (or, without a controller, the log says it could not be).
    dog.close();
    QElapsedTimer bound;
    bound.start();
    QEventLoop drain;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &drain, [&] {
        if (!dm.isBusy() || bound.elapsed() >= kStopBoundMs)
            drain.quit();
    });
    if (dm.isBusy()) {
        poll.start(10);
        drain.exec();
    }
    alive = false;
    return controllerGone ? kExitNoController : kExitOk;
}

} // namespace vardex::cli

#include "cli/serve_command.h"

#include "cli/watch_loan.h"
#include "cli/watch_settle.h"
#include "config/cfg_exchange.h"
#include "fleet/log_follower.h"
#include "fleet/state_events.h"
#include "link/data_module.h"
#include "log/log_transfer.h"
#include "work/work_transfer.h"

#include <QDateTime>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <cmath>

namespace vardex::cli {

namespace {

constexpr int kMaxPollS = 3600;
// The loan's lines: "контроллер был отдан: …; снова у службы".
const QString kServiceHolder = QStringLiteral("у службы");
constexpr int kStopCheckMs = 100;
// New event-log records taken per poll: a controller logs at most one record every few
// seconds, so this keeps up, and a poll never grows into a log read.
constexpr int kLogRecordsPerPoll = 16;
constexpr int kLogRecordWaitMs = 500;
// How far past the search start the newest record can lie (two blocks of four).
constexpr int kLogSyncReads = 8;

const char *const kValueOptions[] = {"--poll",         "--metrics-listen", "--metrics-file",
                                     "--mqtt",         "--mqtt-user",      "--mqtt-password-file",
                                     "--mqtt-ca-file", "--mqtt-prefix"};

} // namespace

bool isServeOption(const QString &argument)
{
    if (argument == QLatin1String("--watch") || isWatchOption(argument))
        return true;
    for (const char *o : kValueOptions) {
        const QLatin1String name(o);
        if (argument == name || argument.startsWith(name + QLatin1Char('=')))
            return true;
    }
    return false;
}

std::optional<ServeOptions> parseServeOptions(const QStringList &words, QString *error)
{
    ServeOptions o;
    MqttSettings mqtt;
    bool mqttNamed = false, mqttDetail = false;
    QStringList watchWords; // each --watch's host and the watch's options, in order
    bool watchHostSeen = false, watchOptionSeen = false;
    for (qsizetype i = 0; i < words.size(); ++i) {
        QString name = words[i], value;
        if (const qsizetype eq = name.indexOf(QLatin1Char('=')); eq > 0) {
            value = name.mid(eq + 1);
            name = name.left(eq);
        } else if (isServeOption(name)) {
            if (i + 1 >= words.size()) {
                *error = QStringLiteral("serve: %1: не указано значение").arg(name);
                return std::nullopt;
            }
            value = words[++i];
        } else {
            *error = QStringLiteral("serve: лишний аргумент «%1»").arg(name);
            return std::nullopt;
        }
        if (value.isEmpty()) {
            *error = QStringLiteral("serve: %1: пустое значение").arg(name);
            return std::nullopt;
        }
        if (name == QLatin1String("--watch")) {
            if (value.startsWith(QLatin1Char('-'))) {
                *error = QStringLiteral("serve: --watch: ожидается узел, а не «%1»").arg(value);
                return std::nullopt;
            }
            watchHostSeen = true;
            watchWords << value;
        } else if (isWatchOption(name)) {
            watchOptionSeen = true;
            watchWords << name + QLatin1Char('=') + value;
        } else if (name == QLatin1String("--poll")) {
            bool ok = false;
            const int s = value.toInt(&ok);
            if (!ok || s < 1 || s > kMaxPollS) {
                *error = QStringLiteral("serve: --poll: от 1 до %1 с").arg(kMaxPollS);
                return std::nullopt;
            }
            o.pollMs = s * 1000;
        } else if (name == QLatin1String("--metrics-listen")) {
            QString why;
            o.metricsListen = fleet::parseListenAddress(value, &why);
            if (!o.metricsListen) {
                *error = QStringLiteral("serve: --metrics-listen: %1").arg(why);
                return std::nullopt;
            }
        } else if (name == QLatin1String("--metrics-file")) {
            o.metricsFile = value;
        } else if (name == QLatin1String("--mqtt")) {
            QString why;
            const auto address = fleet::parseListenAddress(value, &why);
            if (!address || !value.contains(QLatin1Char(':'))) {
                *error = QStringLiteral("serve: --mqtt: ожидается УЗЕЛ:ПОРТ");
                return std::nullopt;
            }
            mqtt.host = address->host;
            mqtt.port = address->port;
            mqttNamed = true;
        } else {
            mqttDetail = true;
            if (name == QLatin1String("--mqtt-user"))
                mqtt.user = value;
            else if (name == QLatin1String("--mqtt-password-file"))
                mqtt.passwordFile = value;
            else if (name == QLatin1String("--mqtt-ca-file"))
                mqtt.caFile = value;
            else
                mqtt.topicPrefix = value;
        }
    }
    if (mqttDetail && !mqttNamed) {
        *error = QStringLiteral("serve: параметры --mqtt-… без --mqtt УЗЕЛ:ПОРТ");
        return std::nullopt;
    }
    if (mqtt.topicPrefix.contains(QLatin1Char('+')) ||
        mqtt.topicPrefix.contains(QLatin1Char('#'))) {
        *error = QStringLiteral("serve: --mqtt-prefix: без «+» и «#»");
        return std::nullopt;
    }
    if (mqttNamed)
        o.mqtt = mqtt;
    if (watchOptionSeen && !watchHostSeen) {
        *error = QStringLiteral("serve: параметры сторожа без --watch УЗЕЛ");
        return std::nullopt;
    }
    if (watchHostSeen) {
        auto pairs = parseWatchPairs(watchWords, error);
        if (!pairs) {
            error->prepend(QStringLiteral("serve: "));
            return std::nullopt;
        }
        o.watch = std::move(*pairs);
    }
    return o;
}

namespace {

// The service's one run: outlets opened, then a poll every interval until the stop
// flag. Every poll is one operation of the data module, so a loan or another program's
// exchange never interleaves with it.
class Service {
public:
    explicit Service(ServeRun &run) : m_run(run) {}

    bool openOutlets()
    {
        const ServeOptions &o = m_run.options;
        QString error;
        if (o.metricsListen) {
            auto listener = m_run.system.makeMetricsListener
                                ? m_run.system.makeMetricsListener(*o.metricsListen, &error)
                                : nullptr;
            if (!listener)
                return refuse(QStringLiteral("--metrics-listen %1:%2: %3")
                                  .arg(o.metricsListen->host)
                                  .arg(o.metricsListen->port)
                                  .arg(error));
            m_outlets.push_back(std::move(listener));
        }
        if (!o.metricsFile.isEmpty())
            m_outlets.push_back(std::make_unique<fleet::MetricsFile>(o.metricsFile));
        if (o.mqtt) {
            auto mqtt = m_run.system.makeMqtt ? m_run.system.makeMqtt(*o.mqtt, &error) : nullptr;
            if (!mqtt)
                return refuse(QStringLiteral("--mqtt %1:%2: %3")
                                  .arg(o.mqtt->host)
                                  .arg(o.mqtt->port)
                                  .arg(error));
            m_outlets.push_back(std::move(mqtt));
        }
        if (m_run.system.makeJournal)
            m_journal = m_run.system.makeJournal();
        if (m_run.system.makeNotifier)
            m_notifier = m_run.system.makeNotifier();
        return true;
    }

    int exec()
    {
        // One poll timer and one loss handler, whichever loop runs them: the watch's, or
        // the service's own.
        QTimer pollTimer;
        pollTimer.setInterval(m_run.options.pollMs);
        QObject::connect(&pollTimer, &QTimer::timeout, &m_run.dm, [this] { poll(); });
        const QMetaObject::Connection gone = QObject::connect(
            &m_run.dm, &link::DataModule::connectionChanged, &m_run.dm, [this](bool connected) {
                if (!connected && !m_snapshot.lent)
                    lost();
            });
        pollTimer.start();
        QTimer::singleShot(0, &m_run.dm, [this] { poll(); });
        const int exitCode = m_run.options.watch.empty() ? serveAlone() : serveWithWatch();
        pollTimer.stop();
        QObject::disconnect(gone);
        if (m_notifier)
            m_notifier->notify("STOPPING=1");
        return exitCode;
    }

private:
    // The ping watch runs in this process: its loop runs the polls too, and it lends.
    int serveWithWatch()
    {
        WatchRun w{m_run.dm,       m_run.options.watch, false,
                   m_run.makeEcho, m_run.out,           m_run.err,
                   m_run.stop,     m_run.watchStateDir, m_run.watchReturnGraceMs};
        w.rearm = m_run.watchRearm;
        w.device = m_run.device;
        w.lending = m_run.lending;
        // Each decision keeps its host, output and rule as the event's fields.
        w.lines = [this](const WatchLine &line) { watchLine(line); };
        w.figuresChanged = [this](const std::vector<fleet::WatchFigures> &figures) {
            m_snapshot.watches = figures;
        };
        w.loanHolder = kServiceHolder;
        w.loanChanged = [this](bool away, const QString &borrower) { lentChanged(away, borrower); };
        return runWatch(w);
    }

    int serveAlone()
    {
        QEventLoop loop;
        QTimer stopCheck;
        QObject::connect(&stopCheck, &QTimer::timeout, &loop, [&] {
            if (m_run.stop && m_run.stop->load())
                loop.quit();
        });
        std::unique_ptr<WatchLoan> loan;
        if (m_run.lending) {
            WatchLoan::Hooks hooks;
            hooks.pulseLeftMs = [] { return 0; };
            hooks.holder = kServiceHolder;
            hooks.note = [this](const QString &line) {
                emitEvent({fleet::EventKind::Loan, line, serialFields()});
            };
            hooks.resumed = [this](bool back) {
                if (!back)
                    lost();
            };
            hooks.awayChanged = [this](bool away, const QString &borrower) {
                lentChanged(away, borrower);
            };
            loan = std::make_unique<WatchLoan>(m_run.dm, *m_run.lending, std::move(hooks));
        }
        stopCheck.start(kStopCheckMs);
        loop.exec();
        return 0;
    }

    bool refuse(const QString &why)
    {
        m_run.err(QStringLiteral("vardex-cli: serve: %1\n").arg(why));
        return false;
    }

    double now() const { return m_run.system.now ? m_run.system.now() : 0.0; }

    // A tick, as the Work page's polling: it runs now, at the next step boundary of a
    // long sequence, or not at all when another operation holds the link (the next
    // tick comes soon enough). The operation may run after this returns, so it carries
    // everything it needs and finds out whether the service still exists.
    void poll()
    {
        if (m_snapshot.lent) {
            publish();
            notifyStatus(false);
            return;
        }
        if (!m_run.dm.isConnected()) {
            notifyStatus(false);
            return;
        }
        m_run.dm.runTick(this,
                         [this, alive = std::weak_ptr<bool>(m_alive)](link::OperationContext &ctx) {
                             if (!alive.expired())
                                 pollOperation(ctx);
                         });
    }

    void pollOperation(link::OperationContext &ctx)
    {
        if (!m_identified) {
            // The enable masks and resolutions say what the state's bytes mean.
            if (config::readConfig(ctx, [](const QString &) {}) == config::ReadOutcome::Complete) {
                const link::MonitorConfig &cfg = ctx.image().config;
                arrived({readControllerSerial(ctx), cfg.firmwareVersion, cfg.buildVariant,
                         cfg.hardwareConfigNumber});
                m_identified = true;
            }
        }
        const bool answered = m_identified && work::readState(ctx, work::kPollCycle);

        const fleet::Snapshot before = m_snapshot;
        ++m_snapshot.polls;
        m_snapshot.up = answered;
        if (answered) {
            m_snapshot.state = ctx.image().state;
            m_snapshot.config = ctx.image().config;
            m_snapshot.lastPollSeconds = now();
            if (!before.up && m_failing)
                emitEvent({fleet::EventKind::PollRecovered,
                           QStringLiteral("контроллер снова отвечает"), serialFields()});
            m_failing = false;
            for (const fleet::Event &e : fleet::stateEvents(before, m_snapshot))
                emitEvent(e);
            followLog(ctx);
        } else {
            ++m_snapshot.pollFailures;
            if (!m_failing)
                emitEvent({fleet::EventKind::PollFailed,
                           QStringLiteral("контроллер не ответил на опрос"), serialFields()});
            m_failing = true;
        }
        publish();
        notifyStatus(answered);
    }

    // New event-log records, each one event. The first look after an arrival finds the
    // newest record and reports nothing: what came before is the log read's business.
    void followLog(link::OperationContext &ctx)
    {
        if (!m_log.synced()) {
            const std::optional<log::RingPositions> ring = log::readRingPositions(ctx);
            if (ring)
                syncLog(ctx, *ring);
            return;
        }
        for (int i = 0; i < kLogRecordsPerPoll; ++i) {
            const int slot = m_log.nextSlot();
            const std::optional<log::LogRecord> record =
                log::readSingleRecord(ctx, slot, kLogRecordWaitMs);
            if (!record || !m_log.offer(record->number))
                return;
            const QDateTime time = record->timestamp();
            auto fields = serialFields();
            fields.push_back({"RECORD", QString::number(record->number)});
            fields.push_back({"SLOT", QString::number(slot)});
            if (time.isValid())
                fields.push_back({"TIME", time.toString(Qt::ISODate)});
            emitEvent(
                {fleet::EventKind::LogRecord,
                 QStringLiteral("запись журнала №%1 от %2")
                     .arg(record->number)
                     .arg(time.isValid() ? time.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss"))
                                         : QStringLiteral("неверной даты")),
                 fields});
        }
    }

    void syncLog(link::OperationContext &ctx, const log::RingPositions &ring)
    {
        if (ring.next == 0 && ring.oldest == 0) {
            m_log.sync(0, 0); // an empty log: the first record is number 1 in slot 1
            return;
        }
        int slot = fleet::LogFollower::searchStart(ring.next);
        const std::optional<log::LogRecord> first =
            log::readSingleRecord(ctx, slot, kLogRecordWaitMs);
        if (!first)
            return; // tried again at the next poll
        std::uint32_t number = first->number;
        for (int i = 0; i < kLogSyncReads; ++i) {
            const int next = slot % fleet::kLogSlots + 1;
            const std::optional<log::LogRecord> r =
                log::readSingleRecord(ctx, next, kLogRecordWaitMs);
            if (!r || r->number != number + 1)
                break;
            slot = next;
            number = r->number;
        }
        m_log.sync(slot, number);
    }

    // A line of the watch: a decision with its host, output and rule as fields.
    void watchLine(const WatchLine &line)
    {
        auto fields = serialFields();
        for (const auto &[field, value] :
             {std::pair{"HOST", line.host}, std::pair{"OUTPUT", line.output},
              std::pair{"REASON", line.rule}})
            if (!value.isEmpty())
                fields.push_back({field, value});
        const bool several = m_run.options.watch.size() > 1;
        emitEvent({fleet::EventKind::Decision,
                   several && !line.output.isEmpty()
                       ? QStringLiteral("%1: %2").arg(line.output, line.decision)
                       : line.decision,
                   fields});
    }

    void arrived(const fleet::ControllerIdentity &identity)
    {
        // Back from a loan: the same controller is read again (the borrower may have
        // written its configuration), its log followed on from where it was.
        if (std::exchange(m_afterLoan, false) && m_snapshot.identity &&
            m_snapshot.identity->serial == identity.serial) {
            m_snapshot.identity = identity;
            return;
        }
        m_log.reset();
        m_snapshot.identity = identity;
        auto fields = serialFields();
        fields.push_back({"NODE", m_run.dm.currentDevice().id});
        emitEvent(
            {fleet::EventKind::ControllerArrived,
             QStringLiteral("контроллер %1 на связи (%2)")
                 .arg(identity.serial.isEmpty() ? QStringLiteral("без S/N")
                                                : QStringLiteral("S/N %1").arg(identity.serial),
                      m_run.dm.currentDevice().id),
             fields});
    }

    void lentChanged(bool away, const QString &borrower)
    {
        m_snapshot.lent = away;
        m_snapshot.lentTo = borrower;
        if (away) {
            m_snapshot.up = false;
            emitEvent({fleet::EventKind::Loan,
                       QStringLiteral("контроллер отдан на время: %1").arg(borrower),
                       serialFields()});
            publish();
            notifyStatus(false);
            return;
        }
        // Read again before anything is served (the borrower may have changed the
        // configuration), and now: until then the last word stays the loan's.
        m_identified = false;
        m_afterLoan = true;
        poll();
    }

    void lost()
    {
        if (!m_identified && !m_snapshot.up)
            return;
        m_identified = false;
        m_log.reset();
        m_snapshot.up = false;
        emitEvent({fleet::EventKind::ControllerLost, QStringLiteral("контроллер отключен"),
                   serialFields()});
        publish();
        notifyStatus(false);
    }

    std::vector<std::pair<QByteArray, QString>> serialFields() const
    {
        if (m_snapshot.identity && !m_snapshot.identity->serial.isEmpty())
            return {{"SERIAL", m_snapshot.identity->serial}};
        return {};
    }

    void publish()
    {
        for (const auto &o : m_outlets)
            o->publish(m_snapshot);
    }

    void emitEvent(const fleet::Event &e)
    {
        for (const auto &o : m_outlets)
            o->record(e);
        if (m_journal) {
            m_journal->record(e);
            return;
        }
        if (!m_run.json) {
            m_run.out(e.message + QLatin1Char('\n'));
            return;
        }
        QJsonObject fields;
        for (const auto &[name, value] : e.fields)
            fields.insert(QString::fromLatin1(name).toLower(), value);
        m_run.out(QString::fromUtf8(
                      QJsonDocument(QJsonObject{{QStringLiteral("event"),
                                                 QString::fromLatin1(fleet::kindName(e.kind))},
                                                {QStringLiteral("message"), e.message},
                                                {QStringLiteral("fields"), fields}})
                          .toJson(QJsonDocument::Compact)) +
                  QLatin1Char('\n'));
    }

    void notifyStatus(bool answered)
    {
        if (!m_notifier)
            return;
        if (m_snapshot.lent) {
            // Nothing is read during a loan, yet the service is alive and answering its
            // borrower: a supervisor that restarted it now would take the controller
            // from under the engineer's window.
            m_notifier->notify(fleet::pollNotice(
                true, false,
                QStringLiteral("контроллер отдан на время: %1").arg(m_snapshot.lentTo)));
            return;
        }
        std::optional<qint64> ago;
        if (m_snapshot.lastPollSeconds)
            ago = qint64(std::floor(now() - *m_snapshot.lastPollSeconds));
        const QString serial = m_snapshot.identity ? m_snapshot.identity->serial : QString();
        const bool first = answered && !m_ready;
        m_ready = m_ready || answered;
        m_notifier->notify(
            fleet::pollNotice(answered, first, fleet::statusText(serial, ago, m_snapshot.up)));
    }

    ServeRun &m_run;
    fleet::Snapshot m_snapshot;
    std::vector<std::unique_ptr<fleet::Outlet>> m_outlets;
    std::unique_ptr<fleet::Outlet> m_journal;
    std::unique_ptr<fleet::ServiceNotifier> m_notifier;
    fleet::LogFollower m_log;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    bool m_identified = false;
    bool m_ready = false;
    bool m_failing = false;
    bool m_afterLoan = false;
};

} // namespace

int runServe(ServeRun &run)
{
    Service service(run);
    if (!service.openOutlets())
        return 2;
    return service.exec();
}

} // namespace vardex::cli

// The cabinet service against real counterparts on 127.0.0.1: the built program
// scraped and checked by promtool, the supervisor's notify socket bound by the test,
// the textfile read while it is rewritten, and a mosquitto broker started here.
#include "cli/runner.h"
#include "fleet/metrics_text.h"
#include "fleet/outlet.h"
#include "link/protocol.h"
#include "mosquitto_rig.h"
#include "platform/systemd_outlets.h"
#include "service/echo.h"
#include "sim/demo_controller.h"
#include "sim/firmware.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstring>
#include <thread>

#include <gtest/gtest.h>

namespace {

using namespace vardex;

// Bounds for a child or a broker to get somewhere; never what a check compares against.
constexpr int kBoundMs = 30000;
const QString kCli = QStringLiteral(VARDEX_PROGRAMS_DIR "/vardex-cli");

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// The supervisor's end of NOTIFY_SOCKET: a datagram socket bound to a path.
class NotifySocket {
public:
    explicit NotifySocket(const QString &path) : m_path(path)
    {
        m_fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_un addr = {};
        addr.sun_family = AF_UNIX;
        const QByteArray p = QFile::encodeName(path);
        std::memcpy(addr.sun_path, p.constData(),
                    std::min<size_t>(p.size(), sizeof addr.sun_path - 1));
        bound = ::bind(m_fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0;
    }
    ~NotifySocket() { ::close(m_fd); }

    // Every message waiting now.
    QList<QByteArray> take()
    {
        QList<QByteArray> out;
        char buffer[4096];
        for (ssize_t n; (n = ::recv(m_fd, buffer, sizeof buffer, 0)) > 0;)
            out << QByteArray(buffer, int(n));
        return out;
    }

    // Collects messages until one contains text; false when the bound passed first.
    bool waitFor(const QByteArray &text, QList<QByteArray> *seen)
    {
        QElapsedTimer bound;
        bound.start();
        while (bound.elapsed() < kBoundMs) {
            for (const QByteArray &m : take()) {
                *seen << m;
                if (m.contains(text))
                    return true;
            }
            QThread::msleep(20);
        }
        return false;
    }

    bool bound = false;

private:
    QString m_path;
    int m_fd = -1;
};

struct Response {
    QByteArray head;
    QByteArray body;
};

Response httpRequest(quint16 port, const QByteArray &method, const QByteArray &path)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(kBoundMs))
        return {};
    socket.write(method + ' ' + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    // The server may keep the connection open: the head's length says where the body ends.
    QByteArray all;
    Response r;
    while (socket.waitForReadyRead(kBoundMs)) {
        all += socket.readAll();
        const qsizetype split = all.indexOf("\r\n\r\n");
        if (split < 0)
            continue;
        r.head = all.left(split);
        const QByteArray lower = r.head.toLower();
        const qsizetype at = lower.indexOf("content-length:");
        const qsizetype length =
            at < 0 ? 0
                   : lower.mid(at + 15, lower.indexOf('\r', at) - at - 15).trimmed().toLongLong();
        if (all.size() - split - 4 >= length) {
            r.body = all.mid(split + 4, length);
            break;
        }
    }
    return r;
}

struct Tool {
    int exitCode = -1;
    QByteArray out;
};

Tool runTool(const QString &program, const QStringList &args, const QByteArray &input = {})
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(kBoundMs);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAll()};
}

class Child {
public:
    ~Child()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(kBoundMs);
        }
    }
    void start(const QString &program, const QStringList &args,
               const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
    {
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(program, args);
        process.waitForStarted(kBoundMs);
    }
    QProcess process;
};

QProcessEnvironment serviceEnvironment()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("NOTIFY_SOCKET"));
    env.remove(QStringLiteral("JOURNAL_STREAM"));
    // Owner locks of this test program's own: tests running side by side each have their
    // demo controller.
    env.insert(QStringLiteral("VARDEX_LOCK_DIR"), QStringLiteral("%1/vardex-serve-test-%2")
                                                      .arg(QDir::tempPath())
                                                      .arg(QCoreApplication::applicationPid()));
    return env;
}

TEST(ServeProgram, ScrapeAndTextfilePassPromtoolAndTheListenerOnlyServesMetrics)
{
    QTemporaryDir dir;
    NotifySocket notify(dir.filePath(QStringLiteral("notify")));
    ASSERT_TRUE(notify.bound);
    const quint16 port = freePort();
    const QString textfile = dir.filePath(QStringLiteral("vardex.prom"));
    QProcessEnvironment env = serviceEnvironment();
    env.insert(QStringLiteral("NOTIFY_SOCKET"), dir.filePath(QStringLiteral("notify")));
    Child service;
    service.start(kCli,
                  {"--demo", "serve", "--poll", "1", "--metrics-listen",
                   QStringLiteral("127.0.0.1:%1").arg(port), "--metrics-file", textfile},
                  env);
    QList<QByteArray> seen;
    ASSERT_TRUE(notify.waitFor("READY=1", &seen)) << service.process.readAll().toStdString();
    EXPECT_TRUE(seen.last().contains("WATCHDOG=1"));
    EXPECT_TRUE(seen.last().contains("STATUS=наблюдение за контроллером S/N"));

    const Response r = httpRequest(port, "GET", "/metrics");
    ASSERT_TRUE(r.head.startsWith("HTTP/1.1 200")) << r.head.toStdString();
    EXPECT_TRUE(r.head.toLower().contains("content-type: text/plain; version=0.0.4"));
    EXPECT_TRUE(r.body.contains("vardex_controller_up 1\n"));
    EXPECT_TRUE(r.body.contains("vardex_temperature_celsius{"));
    EXPECT_TRUE(r.body.contains("vardex_controller_info{serial="));
    const Tool check = runTool(QStringLiteral("promtool"), {"check", "metrics"}, r.body);
    EXPECT_EQ(check.exitCode, 0) << check.out.toStdString();

    QFile file(textfile);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const Tool fileCheck =
        runTool(QStringLiteral("promtool"), {"check", "metrics"}, file.readAll());
    EXPECT_EQ(fileCheck.exitCode, 0) << fileCheck.out.toStdString();

    // Nothing but a GET of /metrics: no other path, no other method.
    EXPECT_FALSE(httpRequest(port, "GET", "/").head.startsWith("HTTP/1.1 200"));
    EXPECT_FALSE(httpRequest(port, "POST", "/metrics").head.startsWith("HTTP/1.1 200"));

    ::kill(pid_t(service.process.processId()), SIGTERM);
    ASSERT_TRUE(service.process.waitForFinished(kBoundMs));
    EXPECT_EQ(service.process.exitCode(), 0);
    EXPECT_TRUE(notify.waitFor("STOPPING=1", &seen));
}

// A loan is no hang: the supervisor hears the service is alive and why nothing is read,
// and after the return the polls are answered again.
TEST(ServeProgram, ALoanKeepsTheSupervisorsWatchdogFedAndSaysWhoHasTheController)
{
    QTemporaryDir dir;
    NotifySocket notify(dir.filePath(QStringLiteral("notify")));
    ASSERT_TRUE(notify.bound);
    const QProcessEnvironment plain = serviceEnvironment();
    QProcessEnvironment env = plain;
    env.insert(QStringLiteral("NOTIFY_SOCKET"), dir.filePath(QStringLiteral("notify")));
    Child service;
    service.start(kCli, {"--demo", "serve", "--poll", "1"}, env);
    QList<QByteArray> seen;
    ASSERT_TRUE(notify.waitFor("READY=1", &seen)) << service.process.readAll().toStdString();

    Child borrower;
    borrower.start(kCli, {"--demo", "state"}, plain);
    ASSERT_TRUE(borrower.process.waitForFinished(kBoundMs));
    EXPECT_EQ(borrower.process.exitCode(), 0) << borrower.process.readAll().toStdString();
    ASSERT_TRUE(notify.waitFor("STATUS=контроллер отдан на время: vardex-cli state", &seen));
    EXPECT_TRUE(seen.last().contains("WATCHDOG=1")) << seen.last().toStdString();
    seen.clear();
    ASSERT_TRUE(notify.waitFor("STATUS=наблюдение за контроллером S/N", &seen));
    EXPECT_TRUE(seen.last().contains("WATCHDOG=1")) << seen.last().toStdString();
    EXPECT_FALSE(seen.last().contains("не отвечает")) << seen.last().toStdString();

    ::kill(pid_t(service.process.processId()), SIGTERM);
    ASSERT_TRUE(service.process.waitForFinished(kBoundMs));
    EXPECT_EQ(service.process.exitCode(), 0);
}

TEST(ServeProgram, ListenerThatCannotBindIsAUsageError)
{
    QTcpServer taken;
    ASSERT_TRUE(taken.listen(QHostAddress::LocalHost, 0));
    Child service;
    service.start(kCli,
                  {"--demo", "serve", "--metrics-listen",
                   QStringLiteral("127.0.0.1:%1").arg(taken.serverPort())},
                  serviceEnvironment());
    ASSERT_TRUE(service.process.waitForFinished(kBoundMs));
    EXPECT_EQ(service.process.exitCode(), 2);
    EXPECT_TRUE(
        QString::fromUtf8(service.process.readAll()).contains(QStringLiteral("--metrics-listen")));
}

// In-process, so the simulated controller can be made to stay silent: the real
// sd_notify writes to the socket the test bound.
TEST(ServeNotify, NoWatchdogWhileTheControllerDoesNotAnswer)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("notify"));
    NotifySocket notify(path);
    ASSERT_TRUE(notify.bound);
    qputenv("NOTIFY_SOCKET", QFile::encodeName(path));

    std::shared_ptr<sim::SimTransport> sim = sim::makeDemoTransport(1);
    // The first two polls get no clock reply, the cycle's sign of life.
    for (int i = 0; i < 2; ++i)
        sim->addFault(sim::kDemoDeviceId,
                      {sim::Fault::Kind::Drop, link::protocol::code::Clock, -1, 0});
    std::atomic<bool> stop{false};
    QList<QByteArray> seen;
    QTimer collect;
    QObject::connect(&collect, &QTimer::timeout, [&] {
        seen << notify.take();
        if (seen.size() >= 3)
            stop = true;
    });
    collect.start(20);
    QTimer::singleShot(kBoundMs, [&] { stop = true; });

    cli::Environment env;
    env.makeTransport = [sim](bool) -> std::shared_ptr<link::Transport> { return sim; };
    env.serve.makeNotifier = [] { return platform::makeSystemdNotifier(); };
    env.serve.now = [] { return 1765000000.0; };
    env.interrupted = &stop;
    const cli::Captured c = cli::runCaptured({"--demo", "serve", "--poll", "1"}, env);
    qunsetenv("NOTIFY_SOCKET");
    seen << notify.take();

    EXPECT_EQ(c.exitCode, 0) << c.err.toStdString();
    ASSERT_GE(seen.size(), 3);
    for (int i = 0; i < 2; ++i) {
        EXPECT_FALSE(seen[i].contains("WATCHDOG=1")) << seen[i].toStdString();
        EXPECT_FALSE(seen[i].contains("READY=1")) << seen[i].toStdString();
        EXPECT_TRUE(seen[i].contains("контроллер не отвечает")) << seen[i].toStdString();
    }
    EXPECT_TRUE(seen[2].startsWith("READY=1\nWATCHDOG=1\nSTATUS=")) << seen[2].toStdString();
    // The plain log says it once, and once that it answers again.
    EXPECT_EQ(c.out.count(QStringLiteral("контроллер не ответил на опрос")), 1)
        << c.out.toStdString();
    EXPECT_EQ(c.out.count(QStringLiteral("контроллер снова отвечает")), 1);
}

// What an outlet was given, for the in-process runs.
struct RecordingOutlet final : fleet::Outlet {
    struct Log {
        int published = 0, publishedUp = 0;
        std::vector<fleet::Event> events;
        std::optional<fleet::Snapshot> last;
    };
    explicit RecordingOutlet(Log *log) : log(log) {}
    void publish(const fleet::Snapshot &s) override
    {
        ++log->published;
        log->publishedUp += s.up ? 1 : 0;
        log->last = s;
    }
    void record(const fleet::Event &e) override { log->events.push_back(e); }
    Log *log;
};

// An echo that answers every ping at once: the host is always there.
class AnsweringEcho final : public service::Echo {
public:
    void start(const service::EchoRequest &, Done done) override
    {
        m_busy = true;
        QTimer::singleShot(1, &m_guard, [this, done = std::move(done)] {
            m_busy = false;
            service::EchoResult r;
            r.status = service::EchoStatus::Answered;
            r.address = QStringLiteral("127.0.0.1");
            r.bytes = 40;
            r.ttl = 64;
            done(r);
        });
    }
    bool busy() const override { return m_busy; }

private:
    bool m_busy = false;
    QObject m_guard;
};

TEST(ServeWatch, ThePingWatchAndThePollsShareOneProcessAndTheirEventsOneJournal)
{
    RecordingOutlet::Log metrics, journal;
    std::atomic<bool> stop{false};
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        const bool decided =
            std::any_of(journal.events.begin(), journal.events.end(),
                        [](const fleet::Event &e) { return e.kind == fleet::EventKind::Decision; });
        if (decided && metrics.publishedUp >= 2)
            stop = true;
    });
    check.start(20);
    QTimer::singleShot(kBoundMs, [&] { stop = true; });

    cli::Environment env;
    std::shared_ptr<sim::SimTransport> sim = sim::makeDemoTransport(1);
    env.makeTransport = [sim](bool) -> std::shared_ptr<link::Transport> { return sim; };
    env.makeEcho = [] { return std::make_unique<AnsweringEcho>(); };
    env.serve.makeMetricsListener = [&](const fleet::ListenAddress &, QString *) {
        return std::make_unique<RecordingOutlet>(&metrics);
    };
    env.serve.makeJournal = [&] { return std::make_unique<RecordingOutlet>(&journal); };
    env.serve.now = [] { return 1765000000.0; };
    env.interrupted = &stop;
    const cli::Captured c = cli::runCaptured({"--demo", "serve", "--poll", "1", "--metrics-listen",
                                              "9", "--watch", "127.0.0.1", "--output", "relay1",
                                              "--interval", "100", "--timeout", "100"},
                                             env);

    EXPECT_EQ(c.exitCode, 0) << c.err.toStdString();
    EXPECT_GE(metrics.publishedUp, 2);
    bool arrived = false, decided = false;
    for (const fleet::Event &e : journal.events) {
        arrived = arrived || e.kind == fleet::EventKind::ControllerArrived;
        if (e.kind == fleet::EventKind::Decision) {
            decided = true;
            const auto field = [&e](const char *name) {
                for (const auto &[key, value] : e.fields)
                    if (key == name)
                        return value;
                return QString();
            };
            EXPECT_EQ(field("HOST"), QStringLiteral("127.0.0.1"));
            EXPECT_EQ(field("OUTPUT"), QStringLiteral("relay1"));
            EXPECT_FALSE(e.message.endsWith(QLatin1Char('\n')));
        }
    }
    EXPECT_TRUE(arrived && decided);
    // The watch's figures reach the metrics: the host answered every echo.
    ASSERT_TRUE(metrics.last);
    ASSERT_EQ(metrics.last->watches.size(), std::size_t(1));
    const fleet::WatchFigures &w = metrics.last->watches.front();
    EXPECT_EQ(std::make_tuple(w.host, w.output, w.misses, w.pulses, w.rttSeconds.has_value()),
              std::make_tuple(QString("127.0.0.1"), QString("relay1"), std::uint64_t(0),
                              std::uint64_t(0), true));
    // Under the journal nothing is printed twice as plain lines.
    EXPECT_EQ(c.out, QString());
}

TEST(ServeLog, NewEventLogRecordsBecomeEventsOnceInOrder)
{
    RecordingOutlet::Log journal;
    std::atomic<bool> stop{false};
    std::shared_ptr<sim::SimTransport> sim = sim::makeDemoTransport(1);
    // The controller logs a record each time the test moves its clock by a period.
    QTimer logging;
    QObject::connect(&logging, &QTimer::timeout, [&] {
        sim->withFirmware(sim::kDemoDeviceId, [](sim::Firmware &f) {
            f.setLiveLogging(true);
            f.advance(10000);
        });
    });
    logging.start(250);
    std::vector<std::uint32_t> numbers;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        numbers.clear();
        for (const fleet::Event &e : journal.events)
            if (e.kind == fleet::EventKind::LogRecord)
                for (const auto &[name, value] : e.fields)
                    if (name == "RECORD")
                        numbers.push_back(value.toUInt());
        if (numbers.size() >= 6)
            stop = true;
    });
    check.start(20);
    QTimer::singleShot(kBoundMs, [&] { stop = true; });

    cli::Environment env;
    env.makeTransport = [sim](bool) -> std::shared_ptr<link::Transport> { return sim; };
    env.serve.makeJournal = [&] { return std::make_unique<RecordingOutlet>(&journal); };
    env.serve.now = [] { return 1765000000.0; };
    env.interrupted = &stop;
    std::uint32_t writtenBefore = 0;
    sim->withFirmware(sim::kDemoDeviceId, [&](sim::Firmware &f) {
        writtenBefore = std::uint32_t(f.eventLog().written());
    });
    const cli::Captured c = cli::runCaptured({"--demo", "serve", "--poll", "1"}, env);

    EXPECT_EQ(c.exitCode, 0) << c.err.toStdString();
    ASSERT_GE(numbers.size(), 6u);
    for (std::size_t i = 1; i < numbers.size(); ++i)
        EXPECT_EQ(numbers[i], numbers[i - 1] + 1) << i;
    // Nothing from before the service started, nothing the controller has not written.
    EXPECT_GT(numbers.front(), writtenBefore);
    std::uint32_t writtenAfter = 0;
    sim->withFirmware(sim::kDemoDeviceId, [&](sim::Firmware &f) {
        writtenAfter = std::uint32_t(f.eventLog().written());
    });
    EXPECT_LE(numbers.back(), writtenAfter);
}

TEST(MetricsFile, AReaderNeverSeesHalfAFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("vardex.prom"));
    fleet::Snapshot small;
    fleet::Snapshot large;
    large.up = true;
    large.config.temperEnable = 0x3F;
    large.config.analogEnable = 0x3F;
    large.config.relayEnable = 0x3F;
    const QByteArray texts[2] = {fleet::renderMetrics(small), fleet::renderMetrics(large)};
    fleet::MetricsFile file(path);
    file.publish(small);

    std::atomic<bool> done{false};
    std::atomic<int> reads{0}, torn{0};
    std::thread reader([&] {
        while (!done) {
            QFile f(path);
            if (!f.open(QIODevice::ReadOnly))
                continue;
            const QByteArray bytes = f.readAll();
            ++reads;
            if (bytes != texts[0] && bytes != texts[1])
                ++torn;
        }
    });
    for (int i = 0; i < 400; ++i)
        file.publish(i % 2 ? small : large);
    done = true;
    reader.join();
    EXPECT_EQ(file.lastError(), QString());
    EXPECT_GT(reads.load(), 0);
    EXPECT_EQ(torn.load(), 0);
    // The temporary files are renamed, none left behind for the collector to find.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"vardex.prom"});
}

TEST(MetricsFile, AFolderThatCannotBeWrittenIsReportedNotFatal)
{
    fleet::MetricsFile file(QStringLiteral("/proc/vardex-no-such-dir/vardex.prom"));
    file.publish({});
    EXPECT_FALSE(file.lastError().isEmpty());
}

// The broker, its clients and the service are all real processes on 127.0.0.1.
class ServeMqtt : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(broker.start());
        port = broker.port;
    }

    // The first message on a topic filter, retained or new, as "topic payload".
    QString first(const QString &filter)
    {
        const Tool t = runTool(QStringLiteral("mosquitto_sub"),
                               {"-h", "127.0.0.1", "-p", QString::number(port), "-t", filter, "-v",
                                "-C", "1", "-W", "30"});
        return QString::fromUtf8(t.out).trimmed();
    }

    test::MosquittoBroker broker;
    quint16 port = 0;
};

TEST_F(ServeMqtt, DiscoveryStateAndOfflineAfterSigkill)
{
    Child service;
    service.start(
        kCli,
        {"--demo", "serve", "--poll", "1", "--mqtt", QStringLiteral("127.0.0.1:%1").arg(port)},
        serviceEnvironment());

    const QString temperature =
        first(QStringLiteral("homeassistant/sensor/+/temperature_1/config"));
    ASSERT_TRUE(temperature.startsWith(QStringLiteral("homeassistant/sensor/vardex_")))
        << temperature.toStdString();
    const QJsonObject config =
        QJsonDocument::fromJson(temperature.section(QLatin1Char(' '), 1).toUtf8()).object();
    EXPECT_EQ(config.value(QStringLiteral("device_class")).toString(),
              QStringLiteral("temperature"));
    const QString stateTopic = config.value(QStringLiteral("state_topic")).toString();
    const QString availability = config.value(QStringLiteral("availability_topic")).toString();
    EXPECT_TRUE(first(QStringLiteral("homeassistant/binary_sensor/+/relay_1/config"))
                    .contains(QStringLiteral("\"payload_on\":1")));

    const QString state = first(stateTopic);
    const QJsonObject stateJson =
        QJsonDocument::fromJson(state.section(QLatin1Char(' '), 1).toUtf8()).object();
    EXPECT_TRUE(stateJson.value(QStringLiteral("up")).toBool()) << state.toStdString();
    EXPECT_TRUE(stateJson.contains(QStringLiteral("temperature_1")));
    EXPECT_EQ(first(availability), availability + QStringLiteral(" online"));

    // A subscriber already listening sees the will as the broker publishes it.
    Child watcher;
    watcher.start(QStringLiteral("mosquitto_sub"), {"-h", "127.0.0.1", "-p", QString::number(port),
                                                    "-t", availability, "-C", "2", "-W", "30"});
    QElapsedTimer bound;
    bound.start();
    QByteArray heard;
    while (!heard.contains("online") && bound.elapsed() < kBoundMs) {
        watcher.process.waitForReadyRead(200);
        heard += watcher.process.readAll();
    }
    ::kill(pid_t(service.process.processId()), SIGKILL);
    service.process.waitForFinished(kBoundMs);
    ASSERT_TRUE(watcher.process.waitForFinished(kBoundMs));
    heard += watcher.process.readAll();
    EXPECT_EQ(heard, "online\noffline\n");
    EXPECT_EQ(first(availability), availability + QStringLiteral(" offline"));
}

} // namespace

// The cabinet service as a fleet runs it: the built vardex-cli serve against the demo's
// simulated controller at the default poll, with metrics and MQTT on (a mosquitto broker
// started here, on 127.0.0.1). Measures scrape latency over 1000 scrapes (each on a new
// connection, the costlier case), the service's resident memory, and its CPU while it
// polls and nobody scrapes.
#include "summary.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace vardex::bench;

namespace {

constexpr int kScrapes = 1000;
constexpr int kIdleSeconds = 60;

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// One GET /metrics; the body's length, or -1.
qint64 scrape(quint16 port)
{
    QTcpSocket s;
    s.connectToHost(QHostAddress::LocalHost, port);
    if (!s.waitForConnected(5000))
        return -1;
    s.write("GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    QByteArray all;
    while (s.waitForReadyRead(5000)) {
        all += s.readAll();
        const qsizetype split = all.indexOf("\r\n\r\n");
        if (split < 0)
            continue;
        const QByteArray head = all.left(split).toLower();
        const qsizetype at = head.indexOf("content-length:");
        if (at < 0)
            return -1;
        const qint64 length =
            head.mid(at + 15, head.indexOf('\r', at) - at - 15).trimmed().toLongLong();
        if (all.size() - split - 4 >= length)
            return length;
    }
    return -1;
}

// utime + stime of a process, in seconds, and its resident set in KiB.
bool processFigures(qint64 pid, double *cpuS, double *rssKiB)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!stat.open(QIODevice::ReadOnly) || !status.open(QIODevice::ReadOnly))
        return false;
    const QByteArray s = stat.readAll();
    const QList<QByteArray> fields = s.mid(s.lastIndexOf(')') + 2).split(' ');
    const double tick = double(sysconf(_SC_CLK_TCK));
    *cpuS = (fields.value(11).toDouble() + fields.value(12).toDouble()) / tick;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            *rssKiB = line.mid(6).trimmed().split(' ').value(0).toDouble();
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    std::printf("vardex-cli serve --demo at the default poll (10 s), --metrics-listen and --mqtt\n"
                "on 127.0.0.1; %d scrapes, each on a new connection; CPU over %d s without\n"
                "scrapes.\n",
                kScrapes, kIdleSeconds);
    QTemporaryDir dir;
    const quint16 brokerPort = freePort(), metricsPort = freePort();
    QFile conf(dir.filePath(QStringLiteral("mosquitto.conf")));
    conf.open(QIODevice::WriteOnly);
    conf.write(
        QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\n").arg(brokerPort).toUtf8());
    conf.close();
    QProcess broker;
    broker.start(
        QStandardPaths::findExecutable(QStringLiteral("mosquitto"), {QStringLiteral("/usr/sbin")}),
        {QStringLiteral("-c"), conf.fileName()});
    broker.waitForStarted();
    QThread::msleep(300);

    QProcess service;
    service.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    service.start(QStringLiteral(VARDEX_PROGRAMS_DIR "/vardex-cli"),
                  {QStringLiteral("--demo"), QStringLiteral("serve"),
                   QStringLiteral("--metrics-listen"), QString::number(metricsPort),
                   QStringLiteral("--mqtt"), QStringLiteral("127.0.0.1:%1").arg(brokerPort)});
    if (!service.waitForStarted()) {
        summaryNotMeasured("scrape latency", "vardex-cli did not start");
        return 1;
    }
    // Until the first poll has been answered.
    QElapsedTimer wait;
    wait.start();
    while (wait.elapsed() < 20000) {
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, metricsPort);
        if (s.waitForConnected(200) && scrape(metricsPort) > 200)
            break;
        QThread::msleep(100);
    }

    std::vector<double> ms;
    ms.reserve(kScrapes);
    int failed = 0;
    for (int i = 0; i < kScrapes; ++i) {
        QElapsedTimer t;
        t.start();
        if (scrape(metricsPort) < 0)
            ++failed;
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    const double p99 = ms[std::size_t(ms.size() * 99 / 100)];
    std::printf("scrapes: %d, failed %d; median %.3f ms, p99 %.3f ms, max %.3f ms\n", kScrapes,
                failed, ms[ms.size() / 2], p99, ms.back());
    summary("scrape latency, median", "<= 5 ms", spread(ms), "ms", Judge::Median, 5.0);
    summary("scrape latency, p99", "<= 5 ms", {p99, p99, p99}, "ms", Judge::Max, 5.0);

    double cpu0 = 0, cpu1 = 0, rss = 0;
    processFigures(service.processId(), &cpu0, &rss);
    QThread::sleep(kIdleSeconds);
    processFigures(service.processId(), &cpu1, &rss);
    const double percent = (cpu1 - cpu0) / kIdleSeconds * 100.0;
    std::printf("idle CPU %.3f %% of a core, RSS %.1f MiB\n", percent, rss / 1024.0);
    summary("service CPU at the defaults", "<= 0.3 %", {percent, percent, percent}, "%", Judge::Max,
            0.3);
    summary("service RSS", "<= 20 MiB", {rss / 1024, rss / 1024, rss / 1024}, "MiB", Judge::Max,
            20.0);

    service.terminate();
    service.waitForFinished();
    broker.terminate();
    broker.waitForFinished();
    return 0;
}

#pragma once

// The built `vardex-cli --demo watch` as a service manager runs it: a child process
// whose lines the test reads and which it stops with real signals.
#include "support/net_namespace.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>

#include <csignal>
#include <functional>

namespace vardex::test {

inline constexpr int kNoNamespace = 97; // the child could not make its network
// Bounds for a child to get somewhere; never what a check compares against.
inline constexpr int kLineBoundMs = 20000;

inline const QStringList kWatch = {"--demo", "watch",      "127.0.0.1", "--output",
                                   "relay1", "--interval", "100",       "--timeout",
                                   "100",    "--pulse",    "10000"};

struct WatchChild {
    QProcess process;
    QString out;
    qint64 startedPid = 0;

    ~WatchChild()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }

    // outage: inside a network namespace of its own whose 127.0.0.1 ignores echoes.
    void start(const QString &stateHome, bool outage) { run(stateHome, kWatch, outage); }
    // Any command of the program, with or without the outage.
    void run(const QString &stateHome, const QStringList &args, bool outage = false)
    {
        std::function<void()> network;
        if (outage)
            network = [] {
                if (enterNetworkNamespace())
                    ::_exit(kNoNamespace);
                allowPingSockets();
                if (!setLoopbackUp() || !ignoreEchoRequests())
                    ::_exit(kNoNamespace);
            };
        start(stateHome, args, network);
    }
    // network runs in the child before the program starts (after fork: no allocation
    // that could deadlock, nothing but system calls).
    void start(const QString &stateHome, const QStringList &args, std::function<void()> network)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_STATE_HOME"), stateHome);
        // Its own owner locks: tests running side by side each have their demo controller.
        env.insert(QStringLiteral("VARDEX_LOCK_DIR"), stateHome + QStringLiteral("/locks"));
        env.remove(QStringLiteral("STATE_DIRECTORY"));
        process.setProcessEnvironment(env);
        if (network)
            process.setChildProcessModifier(network);
        process.start(QStringLiteral(VARDEX_PROGRAMS_DIR "/vardex-cli"), args);
        // Kept: once the child has ended, QProcess no longer says its id.
        if (process.waitForStarted(kLineBoundMs))
            startedPid = process.processId();
    }
    qint64 pid() const { return startedPid; }
    bool finishes()
    {
        const bool ended = process.waitForFinished(kLineBoundMs);
        read();
        return ended;
    }
    QString err() { return QString::fromUtf8(process.readAllStandardError()); }
    void read() { out += QString::fromUtf8(process.readAllStandardOutput()); }
    // Reads the child's lines until one holds text; false if it ended first.
    bool waitForLine(const QString &text)
    {
        QElapsedTimer bound;
        bound.start();
        read();
        while (!out.contains(text) && process.state() != QProcess::NotRunning &&
               bound.elapsed() < kLineBoundMs) {
            process.waitForReadyRead(100);
            read();
        }
        return out.contains(text);
    }
    void signal(int number) { ::kill(static_cast<pid_t>(process.processId()), number); }
    bool endsBy(int number)
    {
        signal(number);
        const bool ended = process.waitForFinished(kLineBoundMs);
        read();
        return ended;
    }
    QString lastLine() const
    {
        const QStringList lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        return lines.isEmpty() ? QString() : lines.back();
    }
    // Why the test cannot run here, or empty.
    QString cannotRun()
    {
        if (process.state() == QProcess::NotRunning && process.exitCode() == kNoNamespace)
            return QStringLiteral("the child cannot make a network namespace of its own");
        if (out.contains(QStringLiteral("ошибка эхо-запроса")))
            return QStringLiteral("no ICMP socket inside the namespace");
        return {};
    }
};

} // namespace vardex::test

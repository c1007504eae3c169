// vardex-cli: the controller from a terminal or a script, on the same core as the
// window (Qt Core only: no display needed).
#include "cli/runner.h"
#include "cli/watch_pending.h"
#include "doctor/diagnosis.h"
#include "export/xlsx_file.h"
#include "platform/hidapi_transport.h"
#include "platform/icmp_echo.h"
#include "platform/metrics_listener.h"
#include "platform/mqtt_outlet.h"
#include "platform/owner_lock.h"
#include "platform/system_probe.h"
#include "platform/systemd_outlets.h"
#include "program/command_line.h"
#include "sim/demo_controller.h"

#include <QCoreApplication>
#include <QDateTime>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <unistd.h>

using namespace vardex;

namespace {

std::atomic<bool> g_interrupted{false};
std::atomic<bool> g_rearm{false};

extern "C" void onInterrupt(int)
{
    g_interrupted.store(true);
}

extern "C" void onRearm(int)
{
    g_rearm.store(true);
}

void write(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vardex-cli"));

    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // A watch that stood down at its cap of pulses is re-armed by SIGUSR1.
    struct sigaction rearm = {};
    rearm.sa_handler = onRearm;
    sigemptyset(&rearm.sa_mask);
    sigaction(SIGUSR1, &rearm, nullptr);
    // A log reader that closes the pipe must not kill a watch mid-pulse (its output would
    // stay on): a write to it fails instead.
    std::signal(SIGPIPE, SIG_IGN);

    cli::Environment env;
    env.makeTransport = [](bool demo) -> std::shared_ptr<link::Transport> {
        if (demo)
            return sim::makeDemoTransport();
        return std::make_unique<link::HidapiTransport>();
    };
    env.out = [](const QString &t) { write(stdout, t); };
    env.err = [](const QString &t) { write(stderr, t); };
    env.stderrIsTerminal = isatty(STDERR_FILENO) == 1;
    env.interrupted = &g_interrupted;
    env.writeXlsx = [](const QString &path, const exporting::Table &table) {
        return exporting::writeXlsxFile(path, table);
    };
    env.makeEcho = [] { return std::make_unique<platform::IcmpEcho>(); };
    env.watchStateDir = cli::pendingStateDir();
    env.watchRearm = &g_rearm;
    env.accessAdvice = [](const QString &) {
        const auto d = doctor::diagnose(platform::probeSystem());
        return d.remedy.isEmpty() ? QString() : d.remedy + QLatin1Char('\n');
    };
    env.serve.makeMetricsListener = [](const fleet::ListenAddress &address,
                                       QString *error) -> std::unique_ptr<fleet::Outlet> {
        auto listener = std::make_unique<platform::MetricsListener>();
        if (!listener->listen(address, error))
            return nullptr;
        return listener;
    };
    env.serve.makeMqtt = [](const cli::MqttSettings &settings, QString *error) {
        return platform::makeMqttOutlet(settings, error);
    };
    env.serve.makeNotifier = [] { return platform::makeSystemdNotifier(); };
    env.serve.makeJournal = []() -> std::unique_ptr<fleet::Outlet> {
        if (!platform::stderrIsJournal())
            return nullptr;
        return platform::makeJournalOutlet();
    };
    env.serve.now = [] { return QDateTime::currentMSecsSinceEpoch() / 1000.0; };
    const QString lockDir = platform::ownerLockDir();
    env.makeOwnerGate = [&lockDir, &env](const QString &program, bool lends,
                                         bool borrows) -> std::shared_ptr<link::OwnerGate> {
        if (lockDir.isEmpty()) {
            env.err(QStringLiteral("vardex-cli: нет каталога для блокировки контроллера "
                                   "(/run/lock/vardex, $XDG_RUNTIME_DIR): другая программа "
                                   "может работать с ним одновременно\n"));
            return nullptr;
        }
        auto locks = std::make_shared<platform::OwnerLocks>(
            lockDir, platform::selfOwnerRecord(program, lends));
        // One-off commands borrow from a watch; a watch never takes from another.
        locks->setBorrowAutomatically(borrows);
        return locks;
    };
    env.makeLending = [&lockDir, &env](const QString &key) -> std::unique_ptr<link::Lending> {
        auto server = std::make_unique<platform::LendServer>(lockDir, key);
        QString error;
        if (!server->listen(&error)) {
            env.err(QStringLiteral("vardex-cli: контроллер не будет отдаваться на время: %1\n")
                        .arg(error));
            return nullptr;
        }
        return server;
    };
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    if (program::earlyRequest(args) == program::Early::Version) {
        env.out(program::versionText(program::Program::Cli));
        return 0;
    }
    return cli::run(args, env);
}

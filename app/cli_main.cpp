// vardex-cli: the controller from a terminal or a script, on the same core as the
// window (Qt Core only: no display needed).
#include "cli/runner.h"
#include "cli/watch_pending.h"
#include "doctor/diagnosis.h"
#include "export/xlsx_file.h"
#include "platform/hidapi_transport.h"
#include "platform/icmp_echo.h"
#include "platform/system_probe.h"
#include "program/command_line.h"
#include "sim/demo_controller.h"

#include <QCoreApplication>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <unistd.h>

using namespace vardex;

namespace {

std::atomic<bool> g_interrupted{false};

extern "C" void onInterrupt(int)
{
    g_interrupted.store(true);
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
    env.accessAdvice = [](const QString &) {
        const auto d = doctor::diagnose(platform::probeSystem());
        return d.remedy.isEmpty() ? QString() : d.remedy + QLatin1Char('\n');
    };
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    if (program::earlyRequest(args) == program::Early::Version) {
        env.out(program::versionText(program::Program::Cli));
        return 0;
    }
    return cli::run(args, env);
}

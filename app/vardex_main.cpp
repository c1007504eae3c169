// vardex: the service tool talking to a Quellbox controller on USB.
#include "doctor/diagnosis.h"
#include "link/data_module.h"
#include "platform/hidapi_transport.h"
#include "platform/icmp_echo.h"
#include "platform/owner_lock.h"
#include "platform/system_probe.h"
#include "program/command_line.h"
#include "service/widgets/watchdog_page.h"
#include "trace/widgets/trace_dock.h"
#include "ui/desktop_identity.h"
#include "ui/main_window.h"
#include "ui/qt_translations.h"
#include "ui/start_options.h"

#include <QApplication>
#include <QFile>
#include <QTextStream>

#include <cstdio>

using namespace vardex;

namespace {

constexpr auto kProgram = program::Program::Window;

void print(std::FILE *stream, const QString &text)
{
    std::fputs(text.toUtf8().constData(), stream);
}

// `vardex --doctor`: the connection checks on the terminal, without a display.
int runDoctor()
{
    const auto d = doctor::diagnose(platform::probeSystem());
    print(stdout, doctor::reportText(d));
    return d.verdict == doctor::Verdict::Ok ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    // Help, version and the doctor need no display: answered before Qt opens one.
    const program::WindowStart start =
        program::startWindowProgram(kProgram, program::argumentsOf(argc, argv));
    if (start.exitCode) {
        print(stdout, start.out);
        print(stderr, start.err);
        return *start.exitCode;
    }
    const program::WindowOptions &options = start.options;
    if (options.doctor) {
        QCoreApplication app(argc, argv);
        return runDoctor();
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(ui::kApplicationTitle);
    QApplication::setApplicationVersion(program::version());
    ui::installQtTranslations();
    ui::applyDesktopIdentity();

    link::HidapiTransport transport;
    // One program per controller: the window takes the owner lock before it opens one, and
    // asks a watch holding it to lend it only when the engineer says so.
    transport.setOwnerGate(platform::makeOwnerLocks(QStringLiteral("vardex"), false));
    link::DataModule dm(transport);
    ui::MainWindow window(dm);
    window.watchDogPage()->setEcho(std::make_unique<platform::IcmpEcho>());
    window.setSystemProbe([] { return platform::probeSystem(); });
    QFile traceFile;
    QTextStream trace;
    if (!options.trace.isEmpty()) {
        traceFile.setFileName(options.trace);
        if (!traceFile.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
            print(stderr, QStringLiteral("vardex: не удаётся записать %1: %2\n")
                              .arg(traceFile.fileName(), traceFile.errorString()));
            return 2;
        }
        trace.setDevice(&traceFile);
        window.traceDock().setLineSink([&trace](const QString &line) {
            trace << line << '\n';
            trace.flush();
        });
    }
    ui::applyStartOptions(window, options);
    window.show();
    // Devices already plugged in are announced from the event loop, like later ones.
    transport.start();
    return app.exec();
}

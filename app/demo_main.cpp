// vardex-demo: the program's window with a simulated controller plugged in, for
// trying the tool without hardware.
#include "link/data_module.h"
#include "platform/icmp_echo.h"
#include "platform/owner_lock.h"
#include "platform/system_probe.h"
#include "program/command_line.h"
#include "service/widgets/watchdog_page.h"
#include "sim/demo_controller.h"
#include "sim/scenarios.h"
#include "sim/sim_transport.h"
#include "trace/widgets/trace_dock.h"
#include "ui/desktop_identity.h"
#include "ui/main_window.h"
#include "ui/qt_translations.h"
#include "ui/start_options.h"

#include <QApplication>
#include <QFile>
#include <QTextStream>
#include <QTimer>

#include <cstdio>

using namespace vardex;

namespace {

constexpr auto kProgram = program::Program::Demo;

void print(std::FILE *stream, const QString &text)
{
    std::fputs(text.toUtf8().constData(), stream);
}

} // namespace

int main(int argc, char **argv)
{
    // Help and version need no display: answered before Qt opens one.
    // The whole command line is checked before a display is opened.
    const program::WindowStart start =
        program::startWindowProgram(kProgram, program::argumentsOf(argc, argv));
    if (start.exitCode) {
        print(stdout, start.out);
        print(stderr, start.err);
        return *start.exitCode;
    }
    const program::WindowOptions &options = start.options;

    QApplication app(argc, argv);
    QApplication::setApplicationName(ui::kApplicationTitle);
    QApplication::setApplicationVersion(program::version());
    ui::installQtTranslations();
    ui::applyDesktopIdentity();

    sim::SimTransport transport;
    // One program per controller: the window takes the owner lock before it opens one, and
    // asks a watch holding it to lend it only when the engineer says so.
    transport.setOwnerGate(platform::makeOwnerLocks(QStringLiteral("vardex-demo"), false));
    sim::SimDeviceOptions simOptions;
    simOptions.id = sim::kDemoDeviceId;
    simOptions.latencyMs = 2;
    const QDate today = QDate::currentDate();
    // The controller's log is built off the GUI thread after the window shows.
    sim::DemoPlug demo(
        transport,
        options.firmware23
            ? std::function<sim::Firmware()>(sim::fullControllerFirmware23)
            : std::function<sim::Firmware()>([today] { return sim::demoController(today); }),
        std::move(simOptions));

    link::DataModule dm(transport);

    ui::MainWindow window(dm);
    QFile traceFile;
    QTextStream trace;
    if (!options.trace.isEmpty()) {
        traceFile.setFileName(options.trace);
        if (!traceFile.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
            print(stderr, QStringLiteral("vardex-demo: не удаётся записать %1: %2\n")
                              .arg(traceFile.fileName(), traceFile.errorString()));
            return 2;
        }
        trace.setDevice(&traceFile);
        window.traceDock().setLineSink([&trace](const QString &line) {
            trace << line << '\n';
            trace.flush();
        });
    }
    window.watchDogPage()->setEcho(std::make_unique<platform::IcmpEcho>());
    window.setApplicationTitle(ui::kApplicationTitle +
                               QStringLiteral(" — демо: контроллер симулирован"));
    ui::applyStartOptions(window, options);
    window.setSystemProbe([] { return platform::probeSystem(); });
    window.setLinkSimulated(true);
    window.show();
    if (options.doctor)
        QTimer::singleShot(500, &window, [&window] { window.showConnectionDoctor(); });

    transport.start();
    // Plugged in shortly after start-up, as a user would.
    demo.start(300);
    return app.exec();
}

// vardex-demo: the program's window with a simulated controller plugged in, for
// trying the tool without hardware.
#include "link/data_module.h"
#include "platform/icmp_echo.h"
#include "platform/system_probe.h"
#include "service/widgets/watchdog_page.h"
#include "sim/demo_controller.h"
#include "sim/scenarios.h"
#include "sim/sim_transport.h"
#include "ui/desktop_identity.h"
#include "ui/main_window.h"
#include "ui/trace_dock.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QTextStream>
#include <QTimer>

#include <cstdio>

using namespace vardex;

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(ui::kApplicationTitle);
    ui::applyDesktopIdentity();

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Vardex with a simulated Quellbox controller plugged in."));
    parser.addHelpOption();
    const QCommandLineOption traceOption(
        QStringLiteral("trace"),
        QStringLiteral("Write every report sent and received, decoded, to <file>."),
        QStringLiteral("file"));
    const QCommandLineOption firmwareOption(
        QStringLiteral("firmware23"),
        QStringLiteral("Simulate a controller with firmware 23 (no extended loop settings)."));
    const QCommandLineOption serviceOption(
        QStringLiteral("service"), QStringLiteral("Show the service pages hidden at start-up."));
    parser.addOption(traceOption);
    parser.addOption(firmwareOption);
    const QCommandLineOption watchOption(
        QStringLiteral("watch"),
        QStringLiteral("With --service: watch <host> with the ping watchdog from start-up."),
        QStringLiteral("host"));
    parser.addOption(watchOption);
    const QCommandLineOption doctorOption(
        QStringLiteral("doctor"),
        QStringLiteral("Open \"Диагностика подключения\" (it checks this computer's real HID "
                       "access) over the window."));
    parser.addOption(serviceOption);
    parser.addOption(doctorOption);
    parser.process(app);

    sim::SimTransport transport;
    sim::SimDeviceOptions options;
    options.id = sim::kDemoDeviceId;
    options.latencyMs = 2;
    const QDate today = QDate::currentDate();
    // The controller's log is built off the GUI thread after the window shows.
    sim::DemoPlug demo(
        transport,
        parser.isSet(firmwareOption)
            ? std::function<sim::Firmware()>(sim::fullControllerFirmware23)
            : std::function<sim::Firmware()>([today] { return sim::demoController(today); }),
        std::move(options));

    link::DataModule dm(transport);

    ui::MainWindow window(dm);
    QFile traceFile;
    QTextStream trace;
    if (parser.isSet(traceOption)) {
        traceFile.setFileName(parser.value(traceOption));
        if (!traceFile.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
            std::fprintf(stderr, "vardex-demo: cannot write %s: %s\n",
                         qPrintable(traceFile.fileName()), qPrintable(traceFile.errorString()));
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
    if (parser.isSet(serviceOption)) {
        window.showServicePages();
        if (parser.isSet(watchOption)) {
            window.pageControl().setCurrentWidget(window.page(QStringLiteral("WatchDogTabSheet")));
            window.watchDogPage()->startWatching(parser.value(watchOption));
        }
    }
    window.setSystemProbe([] { return link::doctor::probeSystem(); });
    window.show();
    if (parser.isSet(doctorOption))
        QTimer::singleShot(500, &window, [&window] { window.showConnectionDoctor(); });

    transport.start();
    // Plugged in shortly after start-up, as a user would.
    demo.start(300);
    return app.exec();
}

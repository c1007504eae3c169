// vardex: the service tool talking to a Quellbox controller on USB.
#include "link/data_module.h"
#include "platform/hidapi_transport.h"
#include "platform/icmp_echo.h"
#include "platform/system_probe.h"
#include "service/widgets/watchdog_page.h"
#include "ui/desktop_identity.h"
#include "ui/main_window.h"
#include "ui/trace_dock.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QTextStream>

#include <cstdio>
#include <cstring>

using namespace vardex;

namespace {

// `vardex --doctor`: the connection checks on the terminal, without a display.
int runDoctor(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const auto d = link::doctor::diagnose(link::doctor::probeSystem());
    std::fputs(link::doctor::reportText(d).toUtf8().constData(), stdout);
    return d.verdict == link::doctor::Verdict::Ok ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--doctor") == 0)
            return runDoctor(argc, argv);

    QApplication app(argc, argv);
    QApplication::setApplicationName(ui::kApplicationTitle);
    ui::applyDesktopIdentity();

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Vardex: service tool for the Quellbox "
                                                    "monitor controller."));
    parser.addHelpOption();
    const QCommandLineOption serviceOption(
        QStringLiteral("service"), QStringLiteral("Show the service pages hidden at start-up."));
    const QCommandLineOption traceOption(
        QStringLiteral("trace"),
        QStringLiteral("Write every report sent and received, decoded, to <file>."),
        QStringLiteral("file"));
    const QCommandLineOption doctorOption(
        QStringLiteral("doctor"),
        QStringLiteral("Check why a controller cannot be opened, print the checks and exit."));
    const QCommandLineOption watchOption(
        QStringLiteral("watch"),
        QStringLiteral("Show the service pages and watch <host> with the ping watchdog from "
                       "start-up."),
        QStringLiteral("host"));
    parser.addOption(serviceOption);
    parser.addOption(watchOption);
    parser.addOption(traceOption);
    parser.addOption(doctorOption);
    parser.process(app);

    link::HidapiTransport transport;
    link::DataModule dm(transport);
    ui::MainWindow window(dm);
    window.watchDogPage()->setEcho(std::make_unique<platform::IcmpEcho>());
    window.setSystemProbe([] { return link::doctor::probeSystem(); });
    QFile traceFile;
    QTextStream trace;
    if (parser.isSet(traceOption)) {
        traceFile.setFileName(parser.value(traceOption));
        if (!traceFile.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
            std::fprintf(stderr, "vardex: cannot write %s: %s\n", qPrintable(traceFile.fileName()),
                         qPrintable(traceFile.errorString()));
            return 2;
        }
        trace.setDevice(&traceFile);
        window.traceDock().setLineSink([&trace](const QString &line) {
            trace << line << '\n';
            trace.flush();
        });
    }
    if (parser.isSet(serviceOption) || parser.isSet(watchOption))
        window.showServicePages();
    if (parser.isSet(watchOption)) {
        window.pageControl().setCurrentWidget(window.page(QStringLiteral("WatchDogTabSheet")));
        window.watchDogPage()->startWatching(parser.value(watchOption));
    }
    window.show();
    // Devices already plugged in are announced from the event loop, like later ones.
    transport.start();
    return app.exec();
}

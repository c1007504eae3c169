// vardex-demo: the program's window with a simulated controller plugged in, for
// trying the tool without hardware.
#include "link/data_module.h"
#include "sim/scenarios.h"
#include "sim/sim_transport.h"
#include "ui/main_window.h"

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

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Vardex with a simulated Quellbox controller plugged in."));
    parser.addHelpOption();
    const QCommandLineOption traceOption(
        QStringLiteral("trace"), QStringLiteral("Write every report sent and received to <file>."),
        QStringLiteral("file"));
    const QCommandLineOption firmwareOption(
        QStringLiteral("firmware23"),
        QStringLiteral("Simulate a controller with firmware 23 (no extended loop settings)."));
    const QCommandLineOption serviceOption(
        QStringLiteral("service"), QStringLiteral("Show the service pages hidden at start-up."));
    parser.addOption(traceOption);
    parser.addOption(firmwareOption);
    parser.addOption(serviceOption);
    parser.process(app);

    sim::SimTransport transport;
    sim::SimDeviceOptions options;
    options.id = QStringLiteral("sim:demo");
    options.latencyMs = 2;
    options.firmware = parser.isSet(firmwareOption) ? sim::fullControllerFirmware23()
                                                    : sim::demoController(QDate::currentDate());
    const QString device = transport.addDevice(std::move(options));

    link::DataModule dm(transport);

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
        dm.setTraceSink([&trace](const link::TraceEntry &e) {
            trace << QString::number(e.nanoseconds / 1e6, 'f', 3)
                  << (e.direction == link::TraceEntry::Direction::Sent ? " > " : " < ")
                  << QByteArray(reinterpret_cast<const char *>(e.payload.data()),
                                static_cast<qsizetype>(e.payload.size()))
                         .toHex(' ')
                  << '\n';
            trace.flush();
        });
    }

    ui::MainWindow window(dm);
    window.setApplicationTitle(ui::kApplicationTitle +
                               QStringLiteral(" — демо: контроллер симулирован"));
    if (parser.isSet(serviceOption))
        window.showServicePages();
    window.show();

    transport.start();
    // Plugged in shortly after start-up, as a user would.
    QTimer::singleShot(300, &transport, [&transport, device] { transport.plug(device); });
    return app.exec();
}

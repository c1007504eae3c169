// vardex: the service tool talking to a Quellbox controller on USB.
#include "link/data_module.h"
#include "platform/hidapi_transport.h"
#include "platform/icmp_echo.h"
#include "service/widgets/watchdog_page.h"
#include "ui/main_window.h"

#include <QApplication>
#include <QCommandLineParser>

using namespace vardex;

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(ui::kApplicationTitle);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Vardex: service tool for the Quellbox "
                                                    "monitor controller."));
    parser.addHelpOption();
    const QCommandLineOption serviceOption(
        QStringLiteral("service"), QStringLiteral("Show the service pages hidden at start-up."));
    parser.addOption(serviceOption);
    parser.process(app);

    link::HidapiTransport transport;
    link::DataModule dm(transport);
    ui::MainWindow window(dm);
    window.watchDogPage()->setEcho(std::make_unique<platform::IcmpEcho>());
    if (parser.isSet(serviceOption))
        window.showServicePages();
    window.show();
    // Devices already plugged in are announced from the event loop, like later ones.
    transport.start();
    return app.exec();
}

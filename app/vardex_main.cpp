// vardex: the service tool talking to a Quellbox controller on USB.
#include "link/data_module.h"
#include "platform/hidapi_transport.h"
#include "ui/main_window.h"

#include <QApplication>

using namespace vardex;

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(ui::kApplicationTitle);

    link::HidapiTransport transport;
    link::DataModule dm(transport);
    ui::MainWindow window(dm);
    window.show();
    // Devices already plugged in are announced from the event loop, like later ones.
    transport.start();
    return app.exec();
}

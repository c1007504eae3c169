// Pictures of what a newcomer sees: the window before a controller is plugged in
// (first-start.png, with the doctor's card), after a failed open for lack of
// permission (first-start-no-access.png), and with the "Обмен" trace docked below the
// pages after a description read (trace-docked.png). Writes into the folder given as
// the first argument.
#include "doctor/system_state.h"
#include "link/data_module.h"
#include "sim/scenarios.h"
#include "sim/sim_transport.h"
#include "trace/widgets/trace_dock.h"
#include "ui/main_window.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPushButton>

using namespace vardex;

namespace {

void settle(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// The controller present, root only, no rule: what a fresh machine says.
doctor::SystemState lockedMachine()
{
    doctor::SystemState s;
    s.hidapiAvailable = s.udevAvailable = s.monitorWorks = true;
    s.userName = QStringLiteral("engineer");
    doctor::HidNode n;
    n.path = QStringLiteral("/dev/hidraw2");
    n.product = QStringLiteral("Quellbox");
    n.mode = 0600;
    n.owner = n.group = QStringLiteral("root");
    s.nodes = {n};
    return s;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();

    sim::SimTransport transport;
    sim::SimDeviceOptions options;
    options.id = QStringLiteral("sim:demo");
    options.latencyMs = 1;
    options.firmware = sim::demoController(QDate::currentDate());
    const QString device = transport.addDevice(std::move(options));
    link::DataModule dm(transport);
    ui::MainWindow window(dm);
    window.setSystemProbe(lockedMachine);
    window.show();
    settle(300);
    window.grab().save(folder + "/first-start.png");

    emit dm.openFailed(link::HidDeviceInfo{}, QStringLiteral("Permission denied"));
    settle(800);
    window.grab().save(folder + "/first-start-no-access.png");

    transport.start();
    transport.plug(device);
    settle(500);
    window.traceDock().show();
    window.traceDock().setFloating(false);
    window.findChild<QPushButton *>(QStringLiteral("QueryDeviceBtn"))->click();
    settle(2500);
    window.traceDock().flush();
    settle(300);
    window.grab().save(folder + "/trace-docked.png");
    return 0;
}

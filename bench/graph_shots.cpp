// Pictures of the graph wizard and of the graph window over the demo controller's log
// (four graphs), for looking at the look. Writes wizard.png and graphs.png into the
// folder given as the first argument.
#include "kit/widgets/prompts.h"
#include "log/record_store.h"
#include "log/widgets/graph_wizard_dlg.h"
#include "log/widgets/log_graph_form.h"
#include "log/widgets/log_graphs.h"
#include "sim/scenarios.h"

#include <QApplication>
#include <QDir>
#include <QTimer>

using namespace vardex;

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();

    sim::Firmware fw = sim::demoController(QDate::currentDate());
    const sim::EventLog &ring = fw.eventLog();
    const int count = log::logRecordCount(ring.pointerA(), ring.pointerB());
    log::RecordStore store;
    for (int n = 1; n <= count; ++n) {
        const auto payload = ring.record(std::size_t(n));
        if (payload)
            store.setRecord(
                n, log::LogRecord::fromPayload(std::span<const std::uint8_t, 74>(*payload)));
    }
    store.setLoaded(count);
    log::TemperatureResolutions res{};
    for (int s = 0; s < log::kSensors; ++s)
        res[std::size_t(s)] = fw.config().resolution(s + 1);

    log::GraphSelection sel;
    sel.enabled[0] = sel.enabled[1] = sel.enabled[2] = sel.enabled[3] = true;
    sel.parameter = {6, 7, 17, 5, 4, 5, 6, 7, 8, 9, 10, 11};
    const auto newest = log::newestRecordYear(count, [&](int slot) { return store.record(slot); });
    {
        log::GraphWizardDlg wizard(sel, count, newest);
        wizard.show();
        QApplication::processEvents();
        wizard.grab().save(folder + "/wizard.png");
    }
    ui::WidgetPrompts prompts;
    log::LogGraphForm form(sel, log::graphPointsOf(sel, store, res), prompts);
    form.resize(1180, 760);
    form.show();
    QTimer::singleShot(300, &app, [&] {
        form.grab().save(folder + "/graphs.png");
        form.model().zoomPercent(110);
        for (int i = 0; i < 20; ++i)
            form.model().zoomTimeAt(1 / 1.1, form.model().timeRange().hi);
        QTimer::singleShot(200, &app, [&] {
            form.grab().save(folder + "/graphs_zoomed.png");
            app.quit();
        });
    });
    return app.exec();
}

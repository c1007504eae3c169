// Pictures of the graph wizard and of the graph window, for looking at the look: a week
// of the demo controller's log and a year of made-up records, each with temperatures,
// the mains and a fan, so the three value axes, the legend, the dated labels and the
// span line all show. Writes wizard.png, graphs.png (the week), graphs-year.png and
// graphs_zoomed.png into the folder given as the first argument.
#include "kit/widgets/prompts.h"
#include "log/record_store.h"
#include "log/widgets/graph_wizard_dlg.h"
#include "log/widgets/log_graph_form.h"
#include "log/widgets/log_graphs.h"
#include "sim/scenarios.h"

#include <QApplication>
#include <QDir>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <numbers>

using namespace vardex;

namespace {

// A year of records every three hours: seasons and days in the cabinet's temperature,
// the fan following it, the mains wandering around 225 V.
log::RecordStore yearStore(int year)
{
    log::RecordStore store;
    QDateTime t(QDate(2000 + year, 1, 1), QTime(0, 0), Qt::UTC);
    int n = 0;
    while (t.date().year() == 2000 + year && n < log::RecordStore::kSlots) {
        ++n;
        log::LogRecord r;
        r.number = std::uint32_t(n);
        r.year = std::uint8_t(year);
        r.month = std::uint8_t(t.date().month());
        r.day = std::uint8_t(t.date().day());
        r.hour = std::uint8_t(t.time().hour());
        const double season = -std::cos(2 * std::numbers::pi * (t.date().dayOfYear() - 15) / 365.0);
        const double daily = std::sin(2 * std::numbers::pi * (t.time().hour() - 9) / 24.0);
        const double cabinet = 18 + 12 * season + 3 * daily + 0.3 * std::sin(n * 0.37);
        r.temperatures[0] = std::int16_t(std::lround(cabinet / 0.0625));
        r.temperatures[1] = std::int16_t(std::lround((cabinet - 6 - 8 * season) / 0.0625));
        r.mains = float(224 + 2 * std::sin(t.date().dayOfYear() / 9.0) + 0.5 * daily);
        const int task = std::clamp(int((cabinet - 26) * 12), 0, 100);
        r.fanTasks[0] = std::uint8_t(task);
        r.fanSpeeds[0] = std::uint16_t(task * 30);
        store.setRecord(n, r);
        t = t.addSecs(3 * 3600);
    }
    store.setLoaded(n);
    return store;
}

log::RecordStore demoStore(sim::Firmware &fw)
{
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
    return store;
}

log::GraphSelection shotSelection(int year, int last)
{
    log::GraphSelection sel;
    sel.year = year;
    sel.last = last;
    // The mains, fan 1's task and speed, two temperatures: three kinds of quantity, the
    // temperatures drawn last, on top.
    for (int g : {0, 1, 2, 3, 4})
        sel.enabled[std::size_t(g)] = true;
    sel.parameter = {5, 21, 17, 6, 7, 5, 6, 7, 8, 9, 10, 11};
    return sel;
}

void grabAfterLayout(QWidget &w, const QString &file)
{
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    w.grab().save(file);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    ui::WidgetPrompts prompts;

    sim::Firmware fw = sim::demoController(QDate(2026, 4, 14));
    const log::RecordStore demo = demoStore(fw);
    log::TemperatureResolutions res{};
    for (int s = 0; s < log::kSensors; ++s)
        res[std::size_t(s)] = fw.config().resolution(s + 1);
    const int count = demo.count();
    const auto newest = log::newestRecordYear(count, [&](int slot) { return demo.record(slot); });

    log::GraphSelection week = shotSelection(newest.value_or(26), count);
    week.first = std::max(1, count - 7 * 24 * 12 + 1); // the last seven days, every 5 minutes
    {
        log::GraphWizardDlg wizard(week, count, newest);
        wizard.show();
        grabAfterLayout(wizard, folder + "/wizard.png");
    }
    log::LogGraphForm weekForm(week, log::graphPointsOf(week, demo, res), prompts);
    weekForm.resize(1180, 760);
    weekForm.show();
    grabAfterLayout(weekForm, folder + "/graphs.png");
    weekForm.model().setTimeWindow(
        {weekForm.model().timeRange().hi - 6 * 3600, weekForm.model().timeRange().hi});
    grabAfterLayout(weekForm, folder + "/graphs_zoomed.png");
    weekForm.close();

    const log::RecordStore year = yearStore(25);
    const log::GraphSelection yearSel = shotSelection(25, year.count());
    log::LogGraphForm yearForm(yearSel, log::graphPointsOf(yearSel, year, {3, 3, 3, 3, 3, 3}),
                               prompts);
    yearForm.resize(1180, 760);
    yearForm.show();
    grabAfterLayout(yearForm, folder + "/graphs-year.png");
    return 0;
}

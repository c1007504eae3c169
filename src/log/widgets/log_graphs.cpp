#include "log/widgets/log_graphs.h"

#include "kit/widgets/prompts.h"
#include "log/widgets/graph_wizard_dlg.h"
#include "log/widgets/log_graph_form.h"

#include <QApplication>
#include <QGuiApplication>

namespace vardex::log {

GraphPoints graphPointsOf(const GraphSelection &selection, const RecordStore &store,
                          const TemperatureResolutions &resolutions)
{
    return buildGraphPoints(
        selection, store.count(), [&store](int slot) { return store.record(slot); }, resolutions);
}

void showLogGraphs(QWidget *parent, GraphSelection &selection, const RecordStore &store,
                   const TemperatureResolutions &resolutions, ui::Prompts &prompts,
                   const ChannelNames &names)
{
    const int count = store.count();
    if (count <= 0) {
        prompts.message(kNothingToDrawText);
        return;
    }
    const auto newest = newestRecordYear(count, [&store](int slot) { return store.record(slot); });
    {
        GraphWizardDlg wizard(selection, count, newest, names, parent);
        if (wizard.exec() != QDialog::Accepted)
            return;
    }
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const GraphPoints points = graphPointsOf(selection, store, resolutions);
    LogGraphForm form(selection, points, prompts, names, parent);
    QGuiApplication::restoreOverrideCursor();
    form.exec();
}

} // namespace vardex::log

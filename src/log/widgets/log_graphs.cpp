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

QString resolutionNote(const SensorResolutions &resolutions)
{
    return resolutions.known ? QString() : unknownResolutionText();
}

LogGraphForm *showLogGraphs(QWidget *parent, GraphSelection &selection, const RecordStore &store,
                            const SensorResolutions &resolutions, ui::Prompts &prompts,
                            const ChannelNames &names)
{
    const int count = store.count();
    if (count <= 0) {
        prompts.message(kNothingToDrawText);
        return nullptr;
    }
    const auto newest = newestRecordYear(count, [&store](int slot) { return store.record(slot); });
    {
        GraphWizardDlg wizard(selection, count, newest, names, parent);
        if (wizard.exec() != QDialog::Accepted)
            return nullptr;
    }
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const GraphPoints points = graphPointsOf(selection, store, resolutions.codes);
    auto *form =
        new LogGraphForm(selection, points, prompts, names, parent, resolutionNote(resolutions));
    // A window of its own, not a sheet over the page: the engineer keeps it beside the
    // main window while loading a configuration.
    form->setWindowFlag(Qt::Window, true);
    form->setAttribute(Qt::WA_DeleteOnClose);
    QGuiApplication::restoreOverrideCursor();
    form->show();
    return form;
}

} // namespace vardex::log

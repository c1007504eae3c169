#pragma once

#include "chart/chart_model.h"
#include "export/widgets/table_export.h"
#include "log/graph_points.h"

#include <QDialog>

#include <memory>

class QCheckBox;

namespace vardex::ui {
class Prompts;
}
namespace vardex::chart {
class ChartView;
}

namespace vardex::log {

// Colour (0xRRGGBB) and marker of graph n (1..12) and the colour of its check box.
chart::SeriesStyle graphSeriesStyle(int n);
std::uint32_t graphCheckBoxColour(int n);

// The chart window of the log graphs: the twelve series, each against the value axis of
// its kind of quantity, a legend with units, zoom buttons, one check box per graph that
// hides and shows its series, the picture saved and the points shown exported.
class LogGraphForm : public QDialog {
    Q_OBJECT
public:
    // note: said under the title while the values are not to be trusted ("" for none).
    LogGraphForm(const GraphSelection &selection, const GraphPoints &points, ui::Prompts &prompts,
                 const ChannelNames &names = defaultChannelNames(), QWidget *parent = nullptr,
                 const QString &note = QString());
    ~LogGraphForm() override;

    chart::ChartModel &model() { return m_model; }
    chart::ChartView *view() const { return m_view; }
    const GraphSelection &selection() const { return m_selection; }
    exporting::TableExport &tableExport() { return *m_export; }

    // New values for the same selection (the sensors' resolutions became known); the
    // zoom and the hidden series stay as the engineer left them.
    void setPoints(const GraphPoints &points, const QString &note);
    // The points inside the time window, of the series shown.
    void exportShown(exporting::ExportFormat format, bool saveAs);

private:
    void saveImage();

    ui::Prompts &m_prompts;
    GraphSelection m_selection;
    chart::ChartModel m_model;
    chart::ChartView *m_view = nullptr;
    std::unique_ptr<exporting::TableExport> m_export;
};

} // namespace vardex::log

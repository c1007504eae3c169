#pragma once

#include "chart/chart_model.h"
#include "log/graph_points.h"

#include <QDialog>

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

// The chart window of the log graphs: the twelve series, zoom buttons and one check box
// per graph that hides and shows its series.
class LogGraphForm : public QDialog {
    Q_OBJECT
public:
    LogGraphForm(const GraphSelection &selection, const GraphPoints &points, ui::Prompts &prompts,
                 const ChannelNames &names = defaultChannelNames(), QWidget *parent = nullptr);

    chart::ChartModel &model() { return m_model; }
    chart::ChartView *view() const { return m_view; }

private:
    void saveImage();

    ui::Prompts &m_prompts;
    chart::ChartModel m_model;
    chart::ChartView *m_view = nullptr;
};

} // namespace vardex::log

#include "service/supply_export.h"

#include "chart/chart_model.h"
#include "export/chart_table.h"

namespace vardex::service {

exporting::Table supplyChartTable(const chart::ChartModel &model)
{
    QStringList titles;
    for (int s = 0; s < model.seriesCount(); ++s)
        titles << model.series(s).style.title;
    std::vector<exporting::ChartPoint> points;
    if (model.seriesCount() == 0)
        return exporting::buildChartTable(points, titles);
    // All series get their points in the same tick, so point i of each belongs together;
    // the rows follow the first series.
    const auto &first = model.series(0).points;
    points.reserve(first.size());
    for (std::size_t i = 0; i < first.size(); ++i) {
        exporting::ChartPoint p{chart::fromWallSeconds(first[i].time), {}};
        for (int s = 0; s < model.seriesCount(); ++s) {
            const auto &series = model.series(s).points;
            if (i >= series.size())
                break;
            p.values.push_back(series[i].value);
        }
        points.push_back(std::move(p));
    }
    return exporting::buildChartTable(points, titles);
}

} // namespace vardex::service

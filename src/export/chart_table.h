#pragma once

#include "chart/chart_model.h"
#include "export/table.h"

#include <QDateTime>

#include <vector>

namespace vardex::exporting {

// One point of a time chart: its time and the value of each series at that time.
struct ChartPoint {
    QDateTime time;
    std::vector<double> values; // series order
};

// The test-chart export: "Час", "Мин", "Сек", then the series titles; one row per
// point, every point in order (an empty table when there are none). A point with
// fewer values than series leaves the missing cells empty.
Table buildChartTable(const std::vector<ChartPoint> &points, const QStringList &seriesTitles);

// What a chart window shows, as a table: "Время" ("dd.MM.yyyy hh:mm:ss"), then one
// column per visible series named with its unit; one row per point time inside the
// time window shown, in time order, a series without a point at that time left empty.
Table buildShownChartTable(const chart::ChartModel &model);

} // namespace vardex::exporting

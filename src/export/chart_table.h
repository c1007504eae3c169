#pragma once

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

} // namespace vardex::exporting

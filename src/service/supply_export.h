#pragma once

#include "export/table.h"

namespace vardex::chart {
class ChartModel;
}

namespace vardex::service {

// The test chart as the spreadsheet gets it: every point, one row each, hour, minute
// and second of its time, then the value of each series at that point.
exporting::Table supplyChartTable(const chart::ChartModel &model);

} // namespace vardex::service

#pragma once

#include "chart/chart_model.h"

#include <QString>

#include <vector>

namespace vardex::chart {

// What the cursor read-out says at one time: for every visible series with points, the
// point nearest in time (the engineer reads exact logged values, never interpolations).
struct ReadoutLine {
    int series = -1;
    QString title;
    QString unit;
    std::uint32_t colour = 0;
    Point point;
};

struct Readout {
    double time = 0;
    std::vector<ReadoutLine> lines;
};

Readout readoutAt(const ChartModel &model, double time);
// "dd.MM.yyyy hh:mm:ss" and one "title: value unit" line per series, values as the axis
// formats them.
QString readoutText(const Readout &readout, const ValueAxis &axis);

} // namespace vardex::chart

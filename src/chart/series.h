#pragma once

#include <QString>

#include <cstdint>
#include <vector>

namespace vardex::chart {

// X is wall-clock time in seconds, as written on the controller's clock or shown by the
// computer's: the date and time fields read as if they were UTC, so no time zone or
// daylight-saving shift ever moves a point or leaves a gap.
struct Point {
    double time = 0;
    double value = 0;
    friend bool operator==(const Point &, const Point &) = default;
};

enum class Marker { None, Rectangle, Circle, Star };

struct SeriesStyle {
    QString title;
    std::uint32_t colour = 0x000000; // 0xRRGGBB
    int width = 2;
    Marker marker = Marker::None;
    int markerSize = 2;
    // Unit of the values ("°C"), written after them in the legend and the read-out.
    QString unit{};
    // The value axis the series is drawn against, by its caption: series of one kind of
    // quantity share one, so 220 V and a 3000 rpm fan do not flatten the temperatures.
    // Empty: the chart's one axis.
    QString axis{};
};

// "Темп_1, °C" for the legend; the title alone without a unit.
inline QString legendName(const SeriesStyle &style)
{
    return style.unit.isEmpty() ? style.title : style.title + QStringLiteral(", ") + style.unit;
}

struct Series {
    SeriesStyle style;
    bool visible = true;
    std::vector<Point> points; // ascending time
};

} // namespace vardex::chart

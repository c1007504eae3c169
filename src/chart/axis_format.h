#pragma once

#include <QDateTime>
#include <QString>

namespace vardex::chart {

// The time axis: labels written with a QDateTime format, optionally turned.
struct TimeAxis {
    QString format = QStringLiteral("hh:mm:ss");
    int labelRotation = 0; // degrees
    // The format follows the window shown: a window longer than a month is labelled
    // with dates, where day and time alone repeat every month.
    bool adaptive = false;
};

// Longer than this, a window gets dated labels.
inline constexpr double kMonthSeconds = 31.0 * 86400.0;

// The label format for a window of span seconds.
QString timeLabelFormat(const TimeAxis &axis, double span);

// "01.04.2025 00:00:00 — 08.04.2025 00:00:00": the time span a chart shows, in the
// chart itself so that a saved picture says when its data was logged.
QString spanText(double from, double to);

// The value axis: labels with a fixed number of decimals, optionally with thousands
// grouping ("#,##0.0" is one decimal with grouping), and an optional fixed range that
// neither data nor zoom changes.
struct ValueAxis {
    int decimals = 1;
    bool grouping = false;
    bool fixed = false;
    double min = 0;
    double max = 1;
    double step = 0; // 0: the library chooses
};

// "#,##0.0" style, written with the comma and point the format names so that labels
// read the same whatever the system's locale.
QString formatValue(double value, int decimals, bool grouping);
inline QString formatValue(double value, const ValueAxis &axis)
{
    return formatValue(value, axis.decimals, axis.grouping);
}

// Wall-clock seconds of a date and time (see Point), and back.
double wallSeconds(const QDateTime &dateTime);
QDateTime fromWallSeconds(double seconds);

} // namespace vardex::chart

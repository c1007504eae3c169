#pragma once

#include "chart/axis_format.h"
#include "chart/range.h"
#include "chart/series.h"

#include <QObject>

#include <QStringList>

#include <map>
#include <optional>
#include <vector>

namespace vardex::chart {

// What a chart shows, without any widget: title, axes, series and the zoomed window.
// The chart view draws it and follows its signals; tests read it and the view back.
class ChartModel : public QObject {
    Q_OBJECT
public:
    explicit ChartModel(QObject *parent = nullptr);

    void setTitle(const QString &title);
    const QString &title() const { return m_title; }
    // A warning drawn under the title (values not to be trusted yet); empty for none.
    void setNote(const QString &note);
    const QString &note() const { return m_note; }
    void setTimeAxis(const TimeAxis &axis);
    const TimeAxis &timeAxis() const { return m_timeAxis; }
    void setValueAxis(const ValueAxis &axis);
    const ValueAxis &valueAxis() const { return m_valueAxis; }

    int addSeries(const SeriesStyle &style, bool visible = true);
    int seriesCount() const { return int(m_series.size()); }
    const Series &series(int index) const { return m_series.at(std::size_t(index)); }
    void setVisible(int index, bool visible);
    void setPoints(int index, std::vector<Point> points);
    // Live charts add one point at a time; points must not go back in time.
    void appendPoint(int index, Point point);
    void clearSeries();

    // The window shown. Unzoomed, both axes follow the data of the visible series (the
    // value axis stays on its fixed range if it has one); a zoom fixes the window until
    // reset.
    Range timeRange() const;
    // The first value axis's window (the chart's only one unless series name others).
    Range valueRange() const;
    // The value axes by caption, in the order series first name them ("" is the
    // unnamed one); an axis whose series are all hidden stays in the list while one of
    // them has points.
    QStringList valueAxes() const;
    Range valueRange(const QString &axis) const;
    bool isZoomed() const { return m_time.has_value() || !m_value.empty(); }
    // 110 shows 1/1.1 of the current window around its centre, 90 shows 1/0.9 of it.
    void zoomPercent(double percent);
    // Mouse wheel: scales the time window by factor (< 1 narrows) keeping anchor in place.
    void zoomTimeAt(double factor, double anchor);
    void panTime(double delta);
    void setTimeWindow(Range range);
    void resetZoom();

    // Data extent of the visible series; empty data gives a one-unit window.
    Range dataTimeRange() const;
    Range dataValueRange() const; // over every visible series
    Range dataValueRange(const QString &axis) const;

signals:
    void layoutChanged(); // title, axes, series added or cleared
    void seriesChanged(int index);
    void pointAppended(int index);
    void visibilityChanged(int index);
    void rangeChanged();

private:
    // Extent of the visible series on axis, or on every axis when axis is null.
    Range valueExtent(const QString *axis) const;

    QString m_title;
    QString m_note;
    TimeAxis m_timeAxis;
    ValueAxis m_valueAxis;
    std::vector<Series> m_series;
    std::optional<Range> m_time;
    std::map<QString, Range> m_value; // zoomed value axes
};

} // namespace vardex::chart

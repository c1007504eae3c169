#include "chart/chart_model.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vardex::chart {

namespace {

// A window never shrinks below a millisecond or a millionth of a unit: past that the
// axis cannot label it and a stuck zoom is all the user would see.
constexpr double kMinTimeSpan = 1e-3;
constexpr double kMinValueSpan = 1e-6;

Range padded(Range r, double minSpan)
{
    if (r.size() < minSpan) {
        const double c = r.centre();
        return {c - 0.5, c + 0.5};
    }
    return r;
}

Range scaled(Range r, double factor, double anchor, double minSpan)
{
    Range out{anchor - (anchor - r.lo) * factor, anchor + (r.hi - anchor) * factor};
    if (out.size() < minSpan) {
        const double c = out.centre();
        out = {c - minSpan / 2, c + minSpan / 2};
    }
    return out;
}

bool byTime(const Point &a, const Point &b)
{
    return a.time < b.time;
}

} // namespace

ChartModel::ChartModel(QObject *parent) : QObject(parent) {}

void ChartModel::setTitle(const QString &title)
{
    m_title = title;
    emit layoutChanged();
}

void ChartModel::setNote(const QString &note)
{
    if (m_note == note)
        return;
    m_note = note;
    emit layoutChanged();
}

void ChartModel::setTimeAxis(const TimeAxis &axis)
{
    m_timeAxis = axis;
    emit layoutChanged();
}

void ChartModel::setValueAxis(const ValueAxis &axis)
{
    m_valueAxis = axis;
    emit layoutChanged();
}

int ChartModel::addSeries(const SeriesStyle &style, bool visible)
{
    Series s;
    s.style = style;
    s.visible = visible;
    m_series.push_back(std::move(s));
    emit layoutChanged();
    return int(m_series.size()) - 1;
}

void ChartModel::setVisible(int index, bool visible)
{
    Series &s = m_series.at(std::size_t(index));
    if (s.visible == visible)
        return;
    s.visible = visible;
    emit visibilityChanged(index);
    emit rangeChanged();
}

void ChartModel::setPoints(int index, std::vector<Point> points)
{
    // A log whose clock was set back mid-way still draws as one line left to right.
    if (!std::is_sorted(points.begin(), points.end(), byTime))
        std::stable_sort(points.begin(), points.end(), byTime);
    m_series.at(std::size_t(index)).points = std::move(points);
    emit seriesChanged(index);
    emit rangeChanged();
}

void ChartModel::appendPoint(int index, Point point)
{
    auto &points = m_series.at(std::size_t(index)).points;
    if (!points.empty() && point.time < points.back().time) {
        points.insert(std::upper_bound(points.begin(), points.end(), point, byTime), point);
        emit seriesChanged(index);
        emit rangeChanged();
        return;
    }
    points.push_back(point);
    emit pointAppended(index);
    if (!isZoomed())
        emit rangeChanged();
}

void ChartModel::clearSeries()
{
    m_series.clear();
    m_time.reset();
    m_value.clear();
    emit layoutChanged();
    emit rangeChanged();
}

Range ChartModel::dataTimeRange() const
{
    double lo = std::numeric_limits<double>::infinity();
    double hi = -lo;
    for (const Series &s : m_series) {
        if (!s.visible || s.points.empty())
            continue;
        lo = std::min(lo, s.points.front().time);
        hi = std::max(hi, s.points.back().time);
    }
    if (lo > hi)
        return {0, 1};
    return padded({lo, hi}, kMinTimeSpan);
}

Range ChartModel::dataValueRange() const
{
    return valueExtent(nullptr);
}

Range ChartModel::dataValueRange(const QString &axis) const
{
    return valueExtent(&axis);
}

QStringList ChartModel::valueAxes() const
{
    QStringList axes;
    for (const Series &s : m_series) {
        // A hidden series without points (a graph not chosen) claims no axis.
        if ((s.visible || !s.points.empty()) && !axes.contains(s.style.axis))
            axes << s.style.axis;
    }
    if (axes.isEmpty())
        axes << QString();
    return axes;
}

Range ChartModel::valueExtent(const QString *axis) const
{
    double lo = std::numeric_limits<double>::infinity();
    double hi = -lo;
    for (const Series &s : m_series) {
        if (!s.visible || (axis && s.style.axis != *axis))
            continue;
        for (const Point &p : s.points) {
            if (!std::isfinite(p.value))
                continue;
            lo = std::min(lo, p.value);
            hi = std::max(hi, p.value);
        }
    }
    if (lo > hi)
        return {0, 1};
    return padded({lo, hi}, kMinValueSpan);
}

Range ChartModel::timeRange() const
{
    return m_time ? *m_time : dataTimeRange();
}

Range ChartModel::valueRange() const
{
    return valueRange(valueAxes().first());
}

Range ChartModel::valueRange(const QString &axis) const
{
    if (m_valueAxis.fixed)
        return {m_valueAxis.min, m_valueAxis.max};
    const auto zoomed = m_value.find(axis);
    return zoomed != m_value.end() ? zoomed->second : dataValueRange(axis);
}

void ChartModel::zoomPercent(double percent)
{
    if (!(percent > 0))
        return;
    const double factor = 100.0 / percent;
    const Range t = timeRange();
    m_time = scaled(t, factor, t.centre(), kMinTimeSpan);
    if (!m_valueAxis.fixed) {
        for (const QString &axis : valueAxes()) {
            const Range v = valueRange(axis);
            m_value[axis] = scaled(v, factor, v.centre(), kMinValueSpan);
        }
    }
    emit rangeChanged();
}

void ChartModel::zoomTimeAt(double factor, double anchor)
{
    if (!(factor > 0))
        return;
    m_time = scaled(timeRange(), factor, anchor, kMinTimeSpan);
    emit rangeChanged();
}

void ChartModel::panTime(double delta)
{
    const Range t = timeRange();
    m_time = Range{t.lo + delta, t.hi + delta};
    emit rangeChanged();
}

void ChartModel::setTimeWindow(Range range)
{
    if (!(range.size() >= kMinTimeSpan))
        return;
    m_time = range;
    emit rangeChanged();
}

void ChartModel::resetZoom()
{
    m_time.reset();
    m_value.clear();
    emit rangeChanged();
}

} // namespace vardex::chart

#include "chart/chart_model.h"
#include "chart/readout.h"

#include <gtest/gtest.h>

using namespace vardex::chart;

namespace {

std::vector<Point> line(double t0, int n, double step = 60, double v0 = 0)
{
    std::vector<Point> pts;
    for (int i = 0; i < n; ++i)
        pts.push_back({t0 + step * i, v0 + i});
    return pts;
}

} // namespace

TEST(ChartZoom, ButtonStepsNarrowAndWidenAroundTheCentreAndResetFollowsTheData)
{
    ChartModel m;
    m.addSeries({});
    m.setPoints(0, line(1000, 11, 100, 0)); // time 1000..2000, values 0..10
    m.zoomPercent(110);
    EXPECT_NEAR(m.timeRange().size(), 1000 / 1.1, 1e-9);
    EXPECT_NEAR(m.timeRange().centre(), 1500, 1e-9);
    EXPECT_NEAR(m.valueRange().size(), 10 / 1.1, 1e-9);
    m.zoomPercent(90);
    EXPECT_NEAR(m.timeRange().size(), 1000 / 1.1 / 0.9, 1e-9);
    EXPECT_TRUE(m.isZoomed());
    m.resetZoom();
    EXPECT_FALSE(m.isZoomed());
    EXPECT_EQ(m.timeRange(), (Range{1000, 2000}));
    EXPECT_EQ(m.valueRange(), (Range{0, 10}));
}

TEST(ChartZoom, FixedValueAxisKeepsItsRangeThroughZoomAndData)
{
    ChartModel m;
    ValueAxis axis;
    axis.fixed = true;
    axis.min = 3.0;
    axis.max = 7.0;
    m.setValueAxis(axis);
    m.addSeries({});
    m.appendPoint(0, {10, 5.1});
    m.appendPoint(0, {11, 12.0});
    m.zoomPercent(110);
    EXPECT_EQ(m.valueRange(), (Range{3.0, 7.0}));
    EXPECT_NEAR(m.timeRange().size(), 1 / 1.1, 1e-9);
}

TEST(ChartZoom, WheelKeepsTheAnchorAndPanMovesTheWindow)
{
    ChartModel m;
    m.addSeries({});
    m.setPoints(0, line(0, 101, 10)); // 0..1000
    m.zoomTimeAt(0.5, 200);
    EXPECT_EQ(m.timeRange(), (Range{100, 600}));
    m.panTime(-50);
    EXPECT_EQ(m.timeRange(), (Range{50, 550}));
    // A runaway zoom stops at a window the axis can still label.
    for (int i = 0; i < 200; ++i)
        m.zoomTimeAt(0.5, 300);
    EXPECT_GT(m.timeRange().size(), 0.0);
    EXPECT_TRUE(m.timeRange().contains(300));
}

TEST(ChartData, HiddenSeriesLeaveTheAutomaticRangesAndEmptyDataGivesAWindow)
{
    ChartModel m;
    EXPECT_GT(m.timeRange().size(), 0);
    m.addSeries({});
    m.addSeries({});
    m.setPoints(0, line(0, 3, 10, 0));
    m.setPoints(1, line(500, 3, 10, 100));
    int rangeChanges = 0;
    QObject::connect(&m, &ChartModel::rangeChanged, [&] { ++rangeChanges; });
    m.setVisible(1, false);
    EXPECT_EQ(rangeChanges, 1);
    EXPECT_EQ(m.timeRange(), (Range{0, 20}));
    EXPECT_EQ(m.valueRange(), (Range{0, 2}));
    // One point still gets a window around it.
    m.setPoints(0, {{50, 7}});
    EXPECT_TRUE(m.timeRange().contains(50));
    EXPECT_GT(m.valueRange().size(), 0);
}

TEST(ChartData, PointsAreKeptInTimeOrder)
{
    ChartModel m;
    m.addSeries({});
    m.setPoints(0, {{30, 3}, {10, 1}, {20, 2}, {10, 1.5}});
    const auto &p = m.series(0).points;
    ASSERT_EQ(p.size(), 4u);
    EXPECT_EQ(p[0], (Point{10, 1}));
    EXPECT_EQ(p[1], (Point{10, 1.5}));
    EXPECT_EQ(p[3], (Point{30, 3}));
    m.appendPoint(0, {15, 9});
    EXPECT_EQ(m.series(0).points[2], (Point{15, 9}));
    m.appendPoint(0, {40, 4});
    EXPECT_EQ(m.series(0).points.back(), (Point{40, 4}));
}

TEST(ChartFormat, ValuesAreGroupedAndRoundedLikeTheAxisFormat)
{
    EXPECT_EQ(formatValue(1234567.891, 1, true), "1,234,567.9");
    EXPECT_EQ(formatValue(-1234.5, 1, true), "-1,234.5");
    EXPECT_EQ(formatValue(999.96, 1, true), "1,000.0");
    EXPECT_EQ(formatValue(-12.25, 1, true), "-12.3");
    EXPECT_EQ(formatValue(123, 1, true), "123.0");
    EXPECT_EQ(formatValue(4.25, 2, false), "4.25");
    EXPECT_EQ(formatValue(std::numeric_limits<double>::quiet_NaN(), 1, true), "*");
}

TEST(ChartFormat, WallClockSecondsIgnoreTheTimeZone)
{
    const QDateTime local(QDate(2024, 3, 31), QTime(2, 30, 0), Qt::LocalTime);
    const double s = wallSeconds(local);
    EXPECT_EQ(fromWallSeconds(s).toString("dd.MM.yyyy hh:mm:ss"), "31.03.2024 02:30:00");
    EXPECT_EQ(wallSeconds(QDateTime(QDate(2024, 3, 31), QTime(3, 30, 0))) - s, 3600);
}

TEST(ChartReadout, ShowsTheNearestLoggedPointOfEachVisibleSeries)
{
    ChartModel m;
    m.addSeries({QStringLiteral("A"), 0xff0000});
    m.addSeries({QStringLiteral("B"), 0x00ff00});
    m.addSeries({QStringLiteral("C"), 0x0000ff});
    m.setPoints(0, {{100, 1.25}, {200, 2.5}, {300, 3.75}});
    m.setPoints(1, {{250, 1234.56}});
    m.setPoints(2, {{100, 9}});
    m.setVisible(2, false);
    const Readout r = readoutAt(m, 240);
    ASSERT_EQ(r.lines.size(), 2u);
    EXPECT_EQ(r.lines[0].point, (Point{200, 2.5}));
    EXPECT_EQ(r.lines[1].point, (Point{250, 1234.56}));
    EXPECT_EQ(readoutAt(m, 5000).lines[0].point, (Point{300, 3.75}));
    EXPECT_EQ(readoutAt(m, -5).lines[0].point, (Point{100, 1.25}));
    ValueAxis axis;
    axis.grouping = true;
    EXPECT_EQ(readoutText(r, axis), "01.01.1970 00:04:00\nA: 2.5\nB: 1,234.6");
}

#include "chart/widgets/chart_view.h"

#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

using namespace vardex::chart;

namespace {

struct ViewRig {
    ChartModel model;
    ChartView view{&model};
    ViewRig()
    {
        model.setTitle(QStringLiteral("TChart"));
        model.setTimeAxis({QStringLiteral("hh:mm:ss"), 90});
        model.addSeries({QStringLiteral("USBPower"), 0xff0000, 2});
        model.addSeries({QStringLiteral("Aver"), 0x008000, 2, Marker::Rectangle});
        view.resize(800, 500);
        view.show();
    }
    QWidget *plot() const { return view.findChild<QWidget *>(QStringLiteral("ChartPlot")); }
};

} // namespace

TEST(ChartView, DrawsWhatTheModelHoldsAndFollowsAppendsAndVisibility)
{
    ViewRig rig;
    EXPECT_EQ(rig.view.plottedTitle(), "TChart");
    EXPECT_EQ(rig.view.plottedTimeLabelRotation(), 90);
    EXPECT_EQ(rig.view.plottedColour(0), QColor(255, 0, 0));
    EXPECT_EQ(rig.view.plottedColour(1), QColor(0, 128, 0));
    rig.model.setPoints(0, {{10, 4.9}, {11, 5.1}});
    rig.model.appendPoint(1, {10, 5.0});
    rig.model.appendPoint(1, {12, 5.2});
    EXPECT_EQ(rig.view.plottedPoints(0), (std::vector<Point>{{10, 4.9}, {11, 5.1}}));
    EXPECT_EQ(rig.view.plottedPoints(1), (std::vector<Point>{{10, 5.0}, {12, 5.2}}));
    EXPECT_EQ(rig.view.plottedTimeRange(), (Range{10, 12}));
    rig.model.setVisible(0, false);
    EXPECT_FALSE(rig.view.plottedVisible(0));
    EXPECT_TRUE(rig.view.plottedVisible(1));
    // A point back in time is drawn in its place, not as a line running backwards.
    rig.model.appendPoint(1, {11, 5.1});
    EXPECT_EQ(rig.view.plottedPoints(1), (std::vector<Point>{{10, 5.0}, {11, 5.1}, {12, 5.2}}));
}

TEST(ChartView, WheelZoomsAndDragPansOnlyTheTimeAxis)
{
    ViewRig rig;
    rig.model.setPoints(0, {{0, 1}, {1000, 2}});
    const Range values = rig.view.plottedValueRange();
    QWidget *plot = rig.plot();
    ASSERT_NE(plot, nullptr);
    const QPointF at(plot->width() / 2.0, plot->height() / 2.0);
    const double anchor = rig.view.timeAtX(int(at.x()));
    QWheelEvent wheel(at, plot->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(plot, &wheel);
    EXPECT_NEAR(rig.view.plottedTimeRange().size(), 1000 / 1.1, 1e-6);
    EXPECT_NEAR(rig.view.timeAtX(int(at.x())), anchor, 2.0);
    EXPECT_EQ(rig.view.plottedValueRange(), values);

    const Range before = rig.view.plottedTimeRange();
    QTest::mousePress(plot, Qt::LeftButton, Qt::NoModifier, at.toPoint());
    QTest::mouseMove(plot, at.toPoint() + QPoint(-100, 0));
    QTest::mouseRelease(plot, Qt::LeftButton, Qt::NoModifier, at.toPoint() + QPoint(-100, 0));
    EXPECT_GT(rig.view.plottedTimeRange().lo, before.lo);
    EXPECT_NEAR(rig.view.plottedTimeRange().size(), before.size(), 1e-6);
    rig.model.resetZoom();
    EXPECT_EQ(rig.view.plottedTimeRange(), (Range{0, 1000}));
}

// A touchpad sends the wheel in small steps: eight of 15 make one notch of a mouse wheel.
TEST(ChartView, TouchpadWheelStepsAddUpToANotch)
{
    ViewRig rig;
    rig.model.setPoints(0, {{0, 1}, {1000, 2}});
    QWidget *plot = rig.plot();
    ASSERT_NE(plot, nullptr);
    const QPointF at(plot->width() / 2.0, plot->height() / 2.0);
    for (int i = 0; i < 8; ++i) {
        QWheelEvent wheel(at, plot->mapToGlobal(at), QPoint(0, 2), QPoint(0, 15), Qt::NoButton,
                          Qt::NoModifier, Qt::ScrollUpdate, false);
        QCoreApplication::sendEvent(plot, &wheel);
    }
    EXPECT_NEAR(rig.view.plottedTimeRange().size(), 1000 / 1.1, 1e-6);
}

TEST(ChartView, ReadoutFollowsThePointer)
{
    ViewRig rig;
    rig.model.setPoints(0, {{0, 4.0}, {1000, 6.0}});
    QWidget *plot = rig.plot();
    QTest::mouseMove(plot, QPoint(plot->width() - 60, plot->height() / 2));
    EXPECT_TRUE(rig.view.readoutText().contains("USBPower: 6.0"))
        << rig.view.readoutText().toStdString();
    QTest::mouseMove(plot, QPoint(2, 2));
    EXPECT_TRUE(rig.view.readoutText().isEmpty());
}

TEST(ChartView, SavesPngAndPdfAndReportsAnUnwritablePath)
{
    ViewRig rig;
    rig.model.setPoints(0, {{0, 4.0}, {1000, 6.0}});
    QTemporaryDir dir;
    const QString png = dir.filePath("chart.png");
    const QString pdf = dir.filePath("chart.PDF");
    ASSERT_TRUE(rig.view.saveImage(png));
    ASSERT_TRUE(rig.view.saveImage(pdf));
    QFile p(png), f(pdf);
    ASSERT_TRUE(p.open(QIODevice::ReadOnly));
    EXPECT_TRUE(p.read(8).startsWith("\x89PNG"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.read(5).startsWith("%PDF"));
    EXPECT_FALSE(rig.view.saveImage(dir.filePath("missing/chart.png")));
}

#include "chart/chart_model.h"
#include "chart/widgets/chart_view.h"
#include "service/widgets/graph_page.h"
#include "support/page_rig.h"

#include <QCheckBox>
#include <QDir>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

using vardex::service::GraphPage;
using vardex::test::PageRig;

namespace {

// The graph tab on a simulated controller with 5.0 V on channel 3 and 12.0 V on
// channel 1, the computer's clock moved by hand one second per tick.
struct ChartRig {
    ChartRig()
    {
        rig.transport.withFirmware(rig.id, [](vardex::sim::Firmware &f) {
            f.setAnalog(3, 5.0f);
            f.setAnalog(1, 12.0f);
        });
    }
    void tick()
    {
        clock.advanceMs(1000);
        page.tick();
    }
    const std::vector<vardex::chart::Point> &points(int series) const
    {
        return page.chartModel().series(series).points;
    }

    PageRig rig;
    vardex::ManualClock clock{QDateTime(QDate(2026, 3, 1), QTime(10, 0, 0))};
    vardex::ui::PageContext ctx{rig.dm, rig.prompts, rig.statusBar, clock};
    int shown = 0;
    GraphPage page{ctx, [this] { ++shown; }};
};

} // namespace

TEST(GraphPage, ChartIsSetUpAsTheBenchExpects)
{
    ChartRig r;
    const auto &model = r.page.chartModel();
    EXPECT_EQ(model.title(), QStringLiteral("TChart"));
    EXPECT_EQ(model.timeAxis().format, QStringLiteral("hh:mm:ss"));
    EXPECT_EQ(r.page.chartView()->plottedTimeLabelRotation(), 90);
    EXPECT_TRUE(model.valueAxis().fixed);
    EXPECT_DOUBLE_EQ(model.valueAxis().min, 3.0);
    EXPECT_DOUBLE_EQ(model.valueAxis().max, 7.0);
    ASSERT_EQ(model.seriesCount(), 2);
    EXPECT_EQ(model.series(0).style.title, QStringLiteral("USBPower"));
    EXPECT_EQ(r.page.chartView()->plottedColour(0), QColor(255, 0, 0));
    EXPECT_EQ(model.series(1).style.title, QStringLiteral("Aver"));
    EXPECT_EQ(r.page.chartView()->plottedColour(1), QColor(0, 128, 0));
    EXPECT_EQ(r.page.timer().interval(), 1000);
    EXPECT_FALSE(r.page.timer().isActive());
}

TEST(GraphPage, PollBoxStartsAndStopsTheTimerAndPointsAccumulate)
{
    ChartRig r;
    r.page.pollBox()->setChecked(true);
    EXPECT_TRUE(r.page.timer().isActive());
    r.tick();
    r.tick();
    r.page.pollBox()->setChecked(false);
    EXPECT_FALSE(r.page.timer().isActive());
    r.page.pollBox()->setChecked(true);
    r.tick();
    ASSERT_EQ(r.points(0).size(), 3u);
    ASSERT_EQ(r.points(1).size(), 3u);
    EXPECT_NEAR(r.points(0)[2].value, 5.0, 0.01);
    EXPECT_NEAR(r.points(1)[2].value, 12.0, 0.01);
    EXPECT_DOUBLE_EQ(r.points(0)[2].time - r.points(0)[0].time, 2.0);
    EXPECT_EQ(r.shown, 3); // the Work page showed each state read
    EXPECT_EQ(r.page.chartView()->plottedPoints(0).size(), 3u);
}

// One lost reply costs that tick's point; the next tick is an exchange of its own.
TEST(GraphPage, ADroppedReplySkipsOnePointWithoutStallingTheChart)
{
    ChartRig r;
    r.tick();
    r.rig.transport.addFault(r.rig.id, {vardex::sim::Fault::Kind::Drop, 2, 0});
    r.tick();
    r.tick();
    r.tick();
    ASSERT_EQ(r.points(0).size(), 3u);
    EXPECT_EQ(r.shown, 3);
    // The gap is where the dropped tick was: 10:00:01, then 10:00:03 and 10:00:04.
    EXPECT_DOUBLE_EQ(r.points(0)[1].time - r.points(0)[0].time, 2.0);
    EXPECT_DOUBLE_EQ(r.points(0)[2].time - r.points(0)[1].time, 1.0);
}

TEST(GraphPage, AnErrorReplyAddsNoPoint)
{
    ChartRig r;
    r.rig.transport.addFault(r.rig.id, {vardex::sim::Fault::Kind::ErrorReply, 2, 0});
    r.tick();
    r.tick();
    EXPECT_EQ(r.points(0).size(), 1u);
}

TEST(GraphPage, TickSkippedBehindAnotherOperationSaysHowOldTheLastPointIs)
{
    ChartRig r;
    r.tick(); // 10:00:01
    r.rig.dm.runOperation([&](vardex::link::OperationContext &) { r.tick(); });
    EXPECT_EQ(r.points(0).size(), 1u);
    EXPECT_EQ(r.rig.statusBar.panelText(5),
              QStringLiteral("Точка графика 5 В пропущена: канал связи занят — последняя точка "
                             "от 10:00:01 (1 с назад)"));
    r.tick();
    EXPECT_EQ(r.points(0).size(), 2u);
    EXPECT_TRUE(r.rig.statusBar.panelText(5).isEmpty());
}

TEST(GraphPage, TickDuringASequenceThatYieldsRunsAtItsNextStep)
{
    ChartRig r;
    std::size_t pointsBeforeTheEnd = 0;
    r.rig.dm.runOperation([&](vardex::link::OperationContext &ctx) {
        ctx.yieldLink();
        r.tick();
        EXPECT_TRUE(r.rig.statusBar.panelText(5).startsWith(
            QStringLiteral("Канал связи занят: точка графика 5 В будет снята между шагами")));
        ctx.yieldLink();
        pointsBeforeTheEnd = r.points(0).size();
    });
    EXPECT_EQ(pointsBeforeTheEnd, 1u);
    EXPECT_TRUE(r.rig.statusBar.panelText(5).isEmpty());
}

TEST(GraphPage, ExportWritesAWorkbookOfThePointsAndOpensIt)
{
    ChartRig r;
    const QString folder = vardex::test::tempPath(QStringLiteral("graph-export"));
    r.page.setExportFolder(folder);
    QString opened;
    r.page.setUrlOpener([&](const QUrl &url) {
        opened = url.toLocalFile();
        return true;
    });

    r.page.exportExcel(); // nothing on the chart yet
    EXPECT_TRUE(opened.isEmpty());
    ASSERT_EQ(r.rig.prompts.messages.size(), 1u);
    EXPECT_FALSE(QDir(folder).exists() && !QDir(folder).isEmpty());

    r.tick();
    r.tick();
    r.page.exportExcel();
    ASSERT_FALSE(opened.isEmpty());
    EXPECT_TRUE(opened.startsWith(folder));
    EXPECT_TRUE(opened.endsWith(QStringLiteral(".xlsx")));
    const QByteArray bytes = vardex::test::readFile(opened);
    EXPECT_TRUE(bytes.startsWith("PK")); // a zip container, as every workbook is
    EXPECT_EQ(r.rig.prompts.messages.size(), 1u);
}

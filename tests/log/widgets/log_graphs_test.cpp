#include "chart/widgets/chart_view.h"
#include "log/widgets/graph_wizard_dlg.h"
#include "log/widgets/log_frame.h"
#include "log/widgets/log_graph_form.h"
#include "log/widgets/log_graphs.h"

#include "support/log_records.h"
#include "support/page_rig.h"
#include "support/recording_prompts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace vardex;
using namespace vardex::log;
using test::logRecordAt;

namespace {

template <typename W> W *child(QWidget &parent, const QString &name)
{
    W *w = parent.findChild<W *>(name);
    EXPECT_NE(w, nullptr) << name.toStdString();
    return w;
}

QCheckBox *checkBox(QWidget &w, int n)
{
    return child<QCheckBox>(w, QStringLiteral("CheckBox%1").arg(n));
}

// A log of one day in 2025: the value of analog 1 is the slot number.
std::vector<LogRecord> dayLog(int records)
{
    std::vector<LogRecord> log;
    for (int i = 1; i <= records; ++i) {
        LogRecord r = logRecordAt(25, 4, 1, i / 60 % 24, i % 60, 0);
        r.analog[0] = float(i);
        r.analog[1] = float(-i);
        r.temperatures[0] = std::int16_t(i);
        log.push_back(r);
    }
    return log;
}

} // namespace

TEST(GraphWizard, FirstOpeningOffersAllRecordsAndTheNewestYear)
{
    GraphSelection sel;
    GraphWizardDlg dlg(sel, 500, 25);
    EXPECT_EQ(dlg.windowTitle(), "Помощник построения графика логирования");
    EXPECT_EQ(child<QSpinBox>(dlg, "LastPointEdit")->value(), 500);
    EXPECT_EQ(child<QSpinBox>(dlg, "FirstPointEdit")->maximum(), 499);
    EXPECT_EQ(child<QSpinBox>(dlg, "GraphYearEdit")->value(), 25);
    EXPECT_EQ(child<QSpinBox>(dlg, "GraphYearEdit")->maximum(), 99);
    EXPECT_EQ(child<QSpinBox>(dlg, "GraphYearEdit")->minimum(), 0);
    EXPECT_EQ(sel.last, 500);
    EXPECT_EQ(sel.year, 25);

    auto *first = child<QComboBox>(dlg, "ParamBox1");
    auto *second = child<QComboBox>(dlg, "ParamBox2");
    EXPECT_EQ(first->count(), 25);
    EXPECT_EQ(second->count(), 26);
    EXPECT_EQ(second->itemText(25), "");
    EXPECT_EQ(first->itemText(3), "A4");
    EXPECT_EQ(first->itemText(4), "A5");
    EXPECT_EQ(first->itemText(5), "VFC_220");
    EXPECT_EQ(first->itemText(6), "Температура_1");
    EXPECT_EQ(child<QComboBox>(dlg, "ParamBox12")->currentIndex(), 11);
    EXPECT_EQ(child<QCheckBox>(dlg, "cbGraph12")->text(), "График 12");
}

TEST(GraphWizard, ChoicesAreWrittenAtOnceAndSurviveCancel)
{
    GraphSelection sel;
    {
        GraphWizardDlg dlg(sel, 500, 25);
        QTest::mouseClick(child<QCheckBox>(dlg, "cbGraph3"), Qt::LeftButton);
        auto *list = child<QComboBox>(dlg, "ParamBox3");
        QTest::keyClick(list, Qt::Key_Down);
        child<QSpinBox>(dlg, "GraphYearEdit")->setValue(24);
        child<QSpinBox>(dlg, "FirstPointEdit")->setValue(10);
        child<QSpinBox>(dlg, "LastPointEdit")->setValue(300);
        EXPECT_TRUE(sel.enabled[2]);
        EXPECT_EQ(sel.parameter[2], 3);
        EXPECT_EQ(sel.year, 24);
        EXPECT_EQ(sel.first, 10);
        EXPECT_EQ(sel.last, 300);
        QTest::mouseClick(child<QPushButton>(dlg, "CancelBtn"), Qt::LeftButton);
        EXPECT_EQ(dlg.result(), QDialog::Rejected);
    }
    GraphWizardDlg again(sel, 500, 25);
    EXPECT_TRUE(child<QCheckBox>(again, "cbGraph3")->isChecked());
    EXPECT_EQ(child<QComboBox>(again, "ParamBox3")->currentIndex(), 3);
    EXPECT_EQ(child<QSpinBox>(again, "GraphYearEdit")->value(), 24); // not proposed again
    EXPECT_EQ(child<QSpinBox>(again, "FirstPointEdit")->value(), 10);
    EXPECT_EQ(child<QSpinBox>(again, "LastPointEdit")->value(), 300);
    EXPECT_EQ(child<QSpinBox>(again, "LastPointEdit")->minimum(), 10);
}

TEST(GraphWizard, RangeKeptFromALongerLogIsPulledIntoAShorterOne)
{
    GraphSelection sel;
    sel.first = 400;
    sel.last = 900;
    GraphWizardDlg dlg(sel, 24, std::nullopt);
    EXPECT_EQ(sel.last, 24);
    EXPECT_LE(sel.first, 23);
    EXPECT_EQ(sel.year, 11); // no valid date: the initial year stays
}

TEST(LogGraphs, EmptyStoreSaysThereIsNothingToDraw)
{
    test::RecordingPrompts prompts;
    GraphSelection sel;
    const RecordStore store;
    showLogGraphs(nullptr, sel, store, {}, prompts);
    EXPECT_EQ(prompts.messages, QStringList{kNothingToDrawText});
    EXPECT_EQ(sel.last, 1);
}

TEST(LogGraphForm, SeriesReceiveTheStoresPointsAndCheckBoxesShowTheirState)
{
    const auto store = test::storeOf(dayLog(100));
    GraphSelection sel;
    sel.year = 25;
    sel.first = 11;
    sel.last = 20;
    sel.enabled = {true, true, false, true, false, false, false, false, true};
    sel.parameter[1] = 1;
    sel.parameter[3] = kGraphParameters; // the empty entry
    sel.parameter[8] = 6;                // temperature 1
    test::RecordingPrompts prompts;
    const TemperatureResolutions res = {3, 0, 0, 0, 0, 0};
    LogGraphForm form(sel, graphPointsOf(sel, *store, res), prompts);
    form.resize(1100, 700);
    form.show();
    chart::ChartView *view = form.view();

    const auto s1 = view->plottedPoints(0);
    ASSERT_EQ(s1.size(), 10u);
    EXPECT_EQ(s1.front().value, 11);
    EXPECT_EQ(s1.back().value, 20);
    EXPECT_EQ(view->plottedPoints(1).front().value, -11);
    EXPECT_DOUBLE_EQ(view->plottedPoints(8).front().value, 11 * 0.0625);
    EXPECT_TRUE(view->plottedPoints(3).empty());
    EXPECT_EQ(view->plottedColour(0), QColor(0, 198, 0));
    EXPECT_EQ(view->plottedColour(6), QColor(0, 0, 160));
    EXPECT_EQ(view->plottedTitle(), "Графики регистрируемых параметров");
    EXPECT_EQ(view->plottedTimeLabelRotation(), 90);

    EXPECT_TRUE(checkBox(form, 1)->isChecked());
    EXPECT_EQ(checkBox(form, 1)->text(), "А1_12В");
    EXPECT_EQ(checkBox(form, 9)->text(), "Темп_1");
    EXPECT_EQ(checkBox(form, 9)->palette().color(QPalette::Active, QPalette::WindowText),
              QColor(128, 128, 255));
    EXPECT_EQ(checkBox(form, 2)->palette().color(QPalette::Active, QPalette::WindowText),
              QColor(0, 255, 0));
    EXPECT_TRUE(checkBox(form, 1)->font().bold());
    EXPECT_EQ(checkBox(form, 1)->font().pixelSize(), 15);
    // Not chosen: greyed and unticked, named after its parameter.
    EXPECT_FALSE(checkBox(form, 3)->isEnabled());
    EXPECT_FALSE(checkBox(form, 3)->isChecked());
    EXPECT_EQ(checkBox(form, 3)->text(), "А3_5В");
    EXPECT_FALSE(view->plottedVisible(2));
    // Chosen with the empty entry: greyed, without caption, nothing drawn.
    EXPECT_FALSE(checkBox(form, 4)->isEnabled());
    EXPECT_EQ(checkBox(form, 4)->text(), "");
    EXPECT_FALSE(view->plottedVisible(3));

    QTest::mouseClick(checkBox(form, 2), Qt::LeftButton);
    EXPECT_FALSE(view->plottedVisible(1));
    EXPECT_TRUE(view->plottedVisible(0));
    EXPECT_TRUE(view->plottedVisible(8));
    QTest::mouseClick(checkBox(form, 2), Qt::LeftButton);
    EXPECT_TRUE(view->plottedVisible(1));
}

TEST(LogGraphForm, ZoomButtonsStepTheWindowAndResetRestoresTheData)
{
    const auto store = test::storeOf(dayLog(100));
    GraphSelection sel;
    sel.year = 25;
    sel.last = 100;
    sel.enabled[0] = true;
    test::RecordingPrompts prompts;
    LogGraphForm form(sel, graphPointsOf(sel, *store, {}), prompts);
    chart::ChartView *view = form.view();
    const chart::Range full = view->plottedTimeRange();
    const chart::Range values = view->plottedValueRange();
    EXPECT_EQ(full.size(), 99 * 60.0);

    QTest::mouseClick(child<QPushButton>(form, "ZoomUpBtn"), Qt::LeftButton);
    EXPECT_NEAR(view->plottedTimeRange().size(), full.size() / 1.1, 1e-6);
    EXPECT_NEAR(view->plottedValueRange().size(), values.size() / 1.1, 1e-6);
    EXPECT_NEAR(view->plottedTimeRange().centre(), full.centre(), 1e-6);
    QTest::mouseClick(child<QPushButton>(form, "ZoomDownBtn"), Qt::LeftButton);
    EXPECT_NEAR(view->plottedTimeRange().size(), full.size() / 1.1 / 0.9, 1e-6);
    QTest::mouseClick(child<QPushButton>(form, "ResetBtn"), Qt::LeftButton);
    EXPECT_EQ(view->plottedTimeRange(), full);
    EXPECT_EQ(view->plottedValueRange(), values);
}

TEST(LogGraphForm, SaveImageAsksForAFileAndReportsAFailedWrite)
{
    const auto store = test::storeOf(dayLog(10));
    GraphSelection sel;
    sel.year = 25;
    sel.last = 10;
    sel.enabled[0] = true;
    test::RecordingPrompts prompts;
    QTemporaryDir dir;
    prompts.saveAnswers = {dir.filePath("graphs.png"), dir.filePath("no/such/dir.png"), ""};
    LogGraphForm form(sel, graphPointsOf(sel, *store, {}), prompts);
    auto *save = child<QPushButton>(form, "SaveImageBtn");
    QTest::mouseClick(save, Qt::LeftButton);
    EXPECT_TRUE(QFileInfo(dir.filePath("graphs.png")).size() > 0);
    EXPECT_TRUE(prompts.messages.isEmpty());
    QTest::mouseClick(save, Qt::LeftButton);
    EXPECT_EQ(prompts.messages.size(), 1);
    QTest::mouseClick(save, Qt::LeftButton);
    EXPECT_EQ(prompts.saveRequests.size(), 3);
    EXPECT_EQ(prompts.messages.size(), 1);
}

// The window exports what it shows: the ticked graphs, inside the zoomed time window,
// and says where the file went. Each graph is drawn against its kind's axis.
TEST(LogGraphForm, ExportsThePointsShownAndDrawsEachKindOnItsOwnAxis)
{
    const auto store = test::storeOf(dayLog(100));
    GraphSelection sel;
    sel.year = 25;
    sel.last = 100;
    sel.enabled[0] = sel.enabled[6] = sel.enabled[1] = true; // А1, Темп_1, А2
    test::RecordingPrompts prompts;
    LogGraphForm form(sel, graphPointsOf(sel, *store, {}), prompts);
    form.resize(1100, 700);
    form.show();
    EXPECT_EQ(form.view()->plottedValueAxes(),
              (QStringList{QStringLiteral("В"), QStringLiteral("°C")}));
    EXPECT_EQ(form.view()->plottedLegend(),
              (QStringList{QStringLiteral("А1_12В, В"), QStringLiteral("А2_24В, В"),
                           QStringLiteral("Темп_1, °C")}));

    QTest::mouseClick(checkBox(form, 2), Qt::LeftButton); // А2 hidden
    const double t0 = form.model().series(0).points.front().time;
    form.model().setTimeWindow({t0 + 9 * 60, t0 + 11 * 60}); // records 10..12
    form.tableExport().setFolder(test::tempPath(QStringLiteral("graph-export")));
    form.tableExport().setLocale(QLocale::c());
    QTest::mouseClick(child<QPushButton>(form, "GraphCsvBtn"), Qt::LeftButton);
    ASSERT_EQ(prompts.messages.size(), 1);
    const QString message = prompts.messages.first();
    const qsizetype from = message.indexOf(QLatin1Char('/'));
    const QString path = message.mid(from, message.indexOf(QStringLiteral(".csv")) + 4 - from);
    EXPECT_TRUE(QFileInfo(path).fileName().startsWith(QStringLiteral("vardex-graph-")));
    const QList<QByteArray> lines = test::readFile(path).trimmed().split('\n');
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0].trimmed(),
              QStringLiteral("\uFEFFВремя,\"А1_12В, В\",\"Темп_1, °C\"").toUtf8());
    EXPECT_EQ(lines[1].trimmed(), "01.04.2025 00:10:00,10,5");
    EXPECT_EQ(lines[3].trimmed(), "01.04.2025 00:12:00,12,6");
}

TEST(LogPageGraphs, GraphButtonOnAnEmptyLogSaysThereIsNothingToDraw)
{
    test::PageRig rig;
    LogFrame page(rig.ctx);
    QTest::mouseClick(page.showGraphButton(), Qt::LeftButton);
    EXPECT_EQ(rig.prompts.messages, QStringList{kNothingToDrawText});
}

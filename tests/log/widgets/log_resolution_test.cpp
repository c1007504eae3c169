#include "chart/widgets/chart_view.h"
#include "export/widgets/table_export.h"
#include "log/log_file.h"
#include "log/widgets/log_graph_form.h"
#include "log_page.h"
#include "work/value_format.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTimer>

#include <gtest/gtest.h>

using namespace vardex;
using namespace vardex::log;
using test::LogPage;

namespace {

// The simulated controller's sensors: what a description or its *.cfg would say.
constexpr TemperatureResolutions kSensorCodes = {3, 3, 2, 2, 1, 0};

// Opens the chart window from the page: the wizard (modal) is answered with graph 7
// (temperature 1) ticked.
LogGraphForm *openTemperatureGraph(LogPage &p)
{
    QTimer::singleShot(0, [] {
        QWidget *wizard = QApplication::activeModalWidget();
        ASSERT_NE(wizard, nullptr);
        wizard->findChild<QCheckBox *>(QStringLiteral("cbGraph7"))->click();
        wizard->findChild<QPushButton *>(QStringLiteral("OKBtn"))->click();
    });
    p.click("ShowGraphBtn");
    return p.page.graphWindow();
}

// The temperature-1 column of the CSV the page writes, last record.
QString exportedTemperature(LogPage &p)
{
    p.page.tableExport().setLocale(QLocale::c());
    p.rig.prompts.messages.clear();
    p.click("ExportCsvBtn");
    EXPECT_EQ(p.rig.prompts.messages.size(), 1);
    const QString message = p.rig.prompts.messages.value(0);
    const qsizetype from = message.indexOf(QLatin1Char('/'));
    const qsizetype to = message.indexOf(QStringLiteral(".csv"));
    const QByteArray csv = test::readFile(message.mid(from, to + 4 - from));
    const QList<QByteArray> lines = csv.trimmed().split('\n');
    const QList<QByteArray> header = lines.first().trimmed().split(',');
    const QList<QByteArray> last = lines.last().trimmed().split(',');
    const qsizetype column = header.indexOf("Temper_1");
    EXPECT_GE(column, 0);
    return QString::fromLatin1(last.value(column));
}

} // namespace

// Read without a description, the codes are a guess: the page, the graph and the export
// say so. A configuration taken redraws all three at once, without stepping the record.
TEST(LogResolutions, UnknownCodesAreMarkedUntilAConfigurationRedrawsViewGraphAndExport)
{
    LogPage p;
    p.page.setExportFolder(test::tempPath(QStringLiteral("resolutions")));
    ASSERT_TRUE(p.readAll());
    const std::int16_t raw = p.page.store().record(24).temperatures[0];
    ASSERT_NE(raw, 0);
    const auto *view = p.page.findChild<LogView *>();
    ASSERT_NE(view, nullptr);

    EXPECT_FALSE(p.page.sensorResolutions().known);
    EXPECT_FALSE(view->resolutionsKnown());
    EXPECT_EQ(p.text("stLogTemper1"), work::temperatureText(raw, 0));
    EXPECT_EQ(p.page.findChild<QGroupBox *>(QStringLiteral("LogTemperatureBox"))->title(),
              QStringLiteral("Температура ?"));
    EXPECT_EQ(p.control<QLabel>("stLogTemper1")->toolTip(), unknownResolutionText());
    EXPECT_EQ(p.rig.statusBar.panelText(5), unknownResolutionText());

    LogGraphForm *graph = openTemperatureGraph(p);
    ASSERT_NE(graph, nullptr);
    EXPECT_TRUE(graph->isVisible());
    EXPECT_FALSE(graph->isModal());
    EXPECT_DOUBLE_EQ(graph->view()->plottedPoints(6).back().value, raw * 0.5);
    EXPECT_TRUE(graph->view()->plottedSubtitle().contains(unknownResolutionText()));
    EXPECT_DOUBLE_EQ(exportedTemperature(p).toDouble(), raw * 0.5);
    EXPECT_TRUE(p.rig.prompts.messages.value(0).contains(unknownResolutionText()));

    p.rig.dm.image().config.dallasResolution = kSensorCodes;
    p.page.onConfigurationTaken();
    EXPECT_TRUE(view->resolutionsKnown());
    EXPECT_EQ(p.text("stLogTemper1"), work::temperatureText(raw, 3));
    EXPECT_EQ(p.page.findChild<QGroupBox *>(QStringLiteral("LogTemperatureBox"))->title(),
              QStringLiteral("Температура"));
    EXPECT_NE(p.control<QLabel>("stLogTemper1")->toolTip(), unknownResolutionText());
    ASSERT_EQ(p.page.graphWindow(), graph);
    EXPECT_DOUBLE_EQ(graph->view()->plottedPoints(6).back().value, raw * 0.0625);
    EXPECT_FALSE(graph->view()->plottedSubtitle().contains(unknownResolutionText()));
    EXPECT_DOUBLE_EQ(exportedTemperature(p).toDouble(), raw * 0.0625);
    EXPECT_FALSE(p.rig.prompts.messages.value(0).contains(unknownResolutionText()));
    graph->close();
}

// The codes go beside the saved log; a fresh window without a controller's description
// loads the log and shows the same temperatures, unmarked.
TEST(LogResolutions, SavedLogCarriesItsCodesIntoAFreshWindow)
{
    LogPage p;
    ASSERT_TRUE(p.readAll());
    p.rig.dm.image().config.dallasResolution = kSensorCodes;
    p.page.onConfigurationTaken();
    const QString path = test::tempPath(QStringLiteral("with-codes.log"));
    p.rig.prompts.saveAnswers.push_back(path);
    p.click("SaveLogBtn");
    EXPECT_TRUE(p.rig.prompts.messages.isEmpty());
    EXPECT_EQ(test::readFile(path).size(), 24 * 84); // the log itself is bare records
    EXPECT_EQ(loadCompanion(path), kSensorCodes);

    LogPage fresh(sim::emptyController());
    fresh.rig.prompts.openAnswers.push_back(path);
    fresh.click("LoadLogBtn");
    EXPECT_TRUE(fresh.page.sensorResolutions().known);
    EXPECT_EQ(fresh.page.sensorResolutions().codes, kSensorCodes);
    for (int slot : {1, 24}) {
        p.control<QScrollBar>("LogScrollBar")->setValue(slot);
        fresh.control<QScrollBar>("LogScrollBar")->setValue(slot);
        for (const char *field : {"stLogTemper1", "stLogTemper3", "stLogTemper5"})
            EXPECT_EQ(fresh.text(field), p.text(field)) << field << " of record " << slot;
    }
    EXPECT_TRUE(fresh.page.findChild<LogView *>()->resolutionsKnown());

    // Saved while the codes are a guess, the log leaves no companion behind.
    LogPage guess;
    ASSERT_TRUE(guess.readAll());
    guess.rig.prompts.saveAnswers.push_back(path);
    guess.click("SaveLogBtn");
    EXPECT_EQ(loadCompanion(path), std::nullopt);
}

TEST(LogResolutions, BytesThatAreNoLogLoadAndSayHowManyDatesAreImpossible)
{
    LogPage p;
    QRandomGenerator generator(7);
    QByteArray noise(1000, '\0');
    for (char &c : noise)
        c = char(generator.bounded(256));
    const QString path = test::tempPath(QStringLiteral("noise.log"));
    test::writeFile(path, noise);
    p.rig.prompts.openAnswers.push_back(path);
    p.click("LoadLogBtn");
    EXPECT_EQ(p.page.store().count(), 11);
    EXPECT_EQ(p.text("stLogMaxRecords"), QStringLiteral("11"));
    ASSERT_EQ(p.rig.prompts.messages.size(), 1);
    EXPECT_TRUE(
        p.rig.prompts.messages[0].contains(QStringLiteral("11 из 11 записей с неверной датой")))
        << p.rig.prompts.messages[0].toStdString();
}

// "Сохранить как…" writes where the engineer says, in the format the name ends with;
// the CSV dialog and message say which conventions the file follows.
TEST(LogResolutions, SaveAsTakesTheChosenNameAndFormat)
{
    LogPage p;
    ASSERT_TRUE(p.readAll());
    p.page.onConfigurationTaken();
    p.page.tableExport().setLocale(QLocale(QLocale::Russian, QLocale::Russia));
    const QString chosen = test::tempPath(QStringLiteral("chosen/my log.csv"));
    QDir().mkpath(QFileInfo(chosen).path());
    p.rig.prompts.saveAnswers = {chosen, QString()};
    p.click("ExportAsBtn");
    ASSERT_EQ(p.rig.prompts.saveRequests.size(), 1);
    EXPECT_TRUE(p.rig.prompts.saveRequests[0].filter.contains(
        QStringLiteral("разделитель «;», десятичная запятая")));
    const QByteArray csv = test::readFile(chosen);
    EXPECT_TRUE(csv.startsWith("\xEF\xBB\xBFNumber;Day;Month;Year;"));
    ASSERT_EQ(p.rig.prompts.messages.size(), 1);
    EXPECT_TRUE(p.rig.prompts.messages[0].contains(QDir::toNativeSeparators(chosen)));
    EXPECT_TRUE(p.rig.prompts.messages[0].contains(QStringLiteral("десятичная запятая")));

    p.click("ExportAsBtn"); // cancelled: nothing written, nothing said
    EXPECT_EQ(p.rig.prompts.messages.size(), 1);
    EXPECT_TRUE(p.opened.isEmpty());
}

// Codes learnt from one controller are not another's: after a second controller takes
// over, a log read from it is a guess again, and saving it leaves no companion with the
// first controller's codes.
TEST(LogResolutions, ASecondControllersLogNeverCarriesTheFirstsCodes)
{
    LogPage p;
    QObject::connect(&p.rig.dm, &link::DataModule::connectionChanged, &p.page,
                     [&p](bool connected) { p.page.onConnectionChanged(connected); });
    p.rig.dm.image().config.dallasResolution = kSensorCodes;
    p.page.onConfigurationTaken();
    ASSERT_TRUE(p.page.sensorResolutions().known);

    sim::SimDeviceOptions second;
    second.id = QStringLiteral("second");
    second.realTime = false;
    second.firmware = sim::controllerWithLog(24);
    p.rig.transport.addDevice(std::move(second));
    p.rig.transport.plug(QStringLiteral("second"));
    ASSERT_TRUE(test::waitUntil(
        [&] { return p.rig.dm.currentDevice().id == QStringLiteral("second"); }, 2000));
    EXPECT_FALSE(p.page.sensorResolutions().known);

    ASSERT_TRUE(p.readAll());
    EXPECT_FALSE(p.page.sensorResolutions().known);
    EXPECT_EQ(p.page.findChild<QGroupBox *>(QStringLiteral("LogTemperatureBox"))->title(),
              QStringLiteral("Температура ?"));
    const QString path = test::tempPath(QStringLiteral("second.log"));
    p.rig.prompts.saveAnswers.push_back(path);
    p.click("SaveLogBtn");
    EXPECT_EQ(loadCompanion(path), std::nullopt);
}

// A loaded log keeps its companion's codes when a configuration comes: the engineer is
// asked, and only a yes puts the configuration's codes on the log.
TEST(LogResolutions, ALoadedLogKeepsItsCodesUntilTheEngineerAppliesOthers)
{
    const TemperatureResolutions own = {0, 1, 2, 3, 0, 1};
    LogPage writer;
    ASSERT_TRUE(writer.readAll());
    writer.rig.dm.image().config.dallasResolution = own;
    writer.page.onConfigurationTaken();
    const QString path = test::tempPath(QStringLiteral("own-codes.log"));
    writer.rig.prompts.saveAnswers.push_back(path);
    writer.click("SaveLogBtn");
    ASSERT_EQ(loadCompanion(path), own);

    LogPage p;
    p.rig.prompts.openAnswers.push_back(path);
    p.click("LoadLogBtn");
    p.rig.dm.image().config.dallasResolution = kSensorCodes;
    p.rig.prompts.questionAnswers.push_back(ui::Prompts::Answer::No);
    p.page.onConfigurationTaken();
    EXPECT_EQ(p.rig.prompts.questions.size(), 1);
    EXPECT_EQ(p.rig.prompts.questionDefaults.value(0), ui::Prompts::Answer::No);
    EXPECT_EQ(p.page.sensorResolutions().codes, own);
    EXPECT_TRUE(p.page.sensorResolutions().known);

    p.rig.prompts.questionAnswers.push_back(ui::Prompts::Answer::Yes);
    p.page.onConfigurationTaken();
    EXPECT_EQ(p.page.sensorResolutions().codes, kSensorCodes);
    EXPECT_TRUE(p.page.sensorResolutions().known);
}

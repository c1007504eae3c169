#include "log/log_file.h"
#include "log/widgets/log_frame.h"
#include "log/widgets/log_view.h"
#include "log_page.h"
#include "work/value_format.h"
#include "work/widgets/work_look.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyle>
#include <QTimer>

#include <gtest/gtest.h>

using namespace vardex;
using namespace vardex::log;

using test::LogPage;

TEST(LogPageStart, ControlsCarryTheirNamesCaptionsAndInitialTexts)
{
    LogPage p;
    for (const char *name : {"ReadLogBtn",       "StopLogBtn",      "ReadLogRecBtn",
                             "LogRecEdit",       "LogScrollBar",    "stLogPositionRecords",
                             "stLogMaxRecords",  "Label1",          "SaveLogBtn",
                             "LoadLogBtn",       "ShowGraphBtn",    "ExportEcxelBtn",
                             "stLogRecNumber",   "stLogDay",        "stLogYear",
                             "stLogSec",         "cbLogContact8",   "cbLogDigitInput8",
                             "stLogAnalog5",     "stLogPower",      "stLogTemper6",
                             "stLogFanSpeed4",   "stLogFanTask4",   "cbLogDigitOut8",
                             "cbLogHighSwitch4", "cbLogLowSwitch4", "cbLogRelay6",
                             "cbLogFlags64",     "Label53",         "Label55"})
        EXPECT_NE(p.control(name), nullptr) << name;
    auto *bar = p.control<QScrollBar>("LogScrollBar");
    EXPECT_EQ(bar->minimum(), 1);
    EXPECT_EQ(bar->maximum(), 100);
    EXPECT_EQ(bar->value(), 1);
    EXPECT_EQ(p.text("stLogRecNumber"), QStringLiteral("0"));
    EXPECT_EQ(p.text("stLogTemper1"), QStringLiteral("0.0"));
    EXPECT_EQ(p.text("stLogFanSpeed1"), QStringLiteral("0.0"));
    EXPECT_EQ(p.text("Label1"), QStringLiteral("Время "));
    EXPECT_EQ(p.control<QPushButton>("ExportEcxelBtn")->statusTip(),
              QStringLiteral("Экспорт лога в EXCEL"));
    EXPECT_EQ(p.control<QCheckBox>("cblogFlags33")->text(), QStringLiteral("Кон.1"));
    EXPECT_EQ(p.control<QCheckBox>("cblogFlags4")->text(), QStringLiteral("A4"));
    EXPECT_EQ(p.text("Label55"), QStringLiteral("VFC_220"));
    for (int k : {9, 16, 59, 64})
        EXPECT_TRUE(p.control(qPrintable(QStringLiteral("cblogFlags%1").arg(k)))->isHidden());
    EXPECT_FALSE(p.control("cblogFlags58")->isHidden());

    // Scrolling before any read or load changes nothing.
    p.control<QScrollBar>("LogScrollBar")->setValue(40);
    EXPECT_EQ(p.text("stLogPositionRecords"), QStringLiteral("0"));
}

TEST(LogPageRead, FullReadShowsTheLastRecordWithCountAndElapsedTime)
{
    LogPage p;
    p.click("ReadLogBtn");
    ASSERT_TRUE(test::waitUntil([&] { return !p.page.isReading(); }));
    EXPECT_EQ(p.text("stLogMaxRecords"), QStringLiteral("24"));
    EXPECT_EQ(p.text("stLogPositionRecords"), QStringLiteral("24"));
    EXPECT_EQ(p.control<QScrollBar>("LogScrollBar")->maximum(), 24);
    EXPECT_EQ(p.control<QScrollBar>("LogScrollBar")->value(), 24);
    EXPECT_EQ(p.text("stLogRecNumber"), QString::number(p.page.store().record(24).number));
    EXPECT_TRUE(p.text("Label1").startsWith(QStringLiteral("Время ")));
    EXPECT_FALSE(p.text("Label1").contains(QStringLiteral("пропущено")));

    p.control<QScrollBar>("LogScrollBar")->setValue(3);
    EXPECT_EQ(p.text("stLogPositionRecords"), QStringLiteral("3"));
    EXPECT_EQ(p.text("stLogRecNumber"), QString::number(p.page.store().record(3).number));
}

TEST(LogPageRead, ButtonsThatTouchTheStoreAreDisabledWhileAReadRunsAndStopKeepsWhatCame)
{
    LogPage p(sim::controllerWithFullLog());
    p.rig.transport.setLatency(p.rig.id, 1);
    QStringList enabledDuringRead;
    // Stop once the third record has been asked for (two are in), not after a fixed time:
    // on a loaded machine a fixed 100 ms may pass before the first record is in.
    QTimer watcher;
    watcher.setInterval(1);
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (p.rig.received(11).size() < 3)
            return;
        watcher.stop();
        for (const char *name : {"ReadLogBtn", "ReadLogRecBtn", "SaveLogBtn", "LoadLogBtn",
                                 "ShowGraphBtn", "ExportEcxelBtn", "ExportCsvBtn"}) {
            if (p.control(name)->isEnabled())
                enabledDuringRead << QLatin1String(name);
        }
        EXPECT_TRUE(p.control("StopLogBtn")->isEnabled());
        p.click("StopLogBtn");
    });
    watcher.start();
    p.click("ReadLogBtn");
    ASSERT_TRUE(test::waitUntil([&] { return !p.page.isReading(); }, 10000));
    EXPECT_TRUE(enabledDuringRead.isEmpty()) << enabledDuringRead.join(' ').toStdString();
    const int read = p.page.store().count();
    EXPECT_GT(read, 0);
    EXPECT_LT(read, 16384);
    EXPECT_EQ(p.text("stLogMaxRecords"), QString::number(read));
    EXPECT_TRUE(p.text("Label1").contains(QStringLiteral("прочитано %1 из 16384").arg(read)));
    // Every record asked for once; the stop may land while the next one is on its way.
    const auto asked = static_cast<int>(p.rig.received(11).size());
    EXPECT_TRUE(asked == read || asked == read + 1) << asked << " asked, " << read << " read";
    EXPECT_FALSE(p.control("StopLogBtn")->isEnabled());
    EXPECT_TRUE(p.control("SaveLogBtn")->isEnabled());
}

TEST(LogPageRead, MissingRecordsAreCountedInTheElapsedTimeText)
{
    LogPage p;
    // Records 1 and its retry lost: the first slot keeps the (empty) working record.
    p.rig.transport.addFault(p.rig.id, {sim::Fault::Kind::Drop, 11});
    p.rig.transport.addFault(p.rig.id, {sim::Fault::Kind::Drop, 11});
    p.click("ReadLogBtn");
    ASSERT_TRUE(test::waitUntil([&] { return !p.page.isReading(); }));
    EXPECT_TRUE(p.text("Label1").endsWith(QStringLiteral("пропущено 1")))
        << p.text("Label1").toStdString();
    EXPECT_EQ(p.page.store().missingSlots(), std::vector<int>{1});
}

// A switched-on output is drawn bold: at the view's smallest size its caption still fits.
TEST(LogView, OutputsShownBoldKeepTheirWholeCaption)
{
    LogView view;
    LogRecord on;
    on.ttlOutputControl = on.ttlOutputState = 0xFF;
    on.switchControl = on.switchState = 0xFF;
    on.relayControl = on.relayState = 0x3F;
    view.show(); // laid out with every output off first, as on the page
    QCoreApplication::processEvents();
    view.showRecord(on, {});
    QCoreApplication::processEvents();
    view.resize(view.minimumSizeHint());
    QCoreApplication::processEvents();
    int checked = 0;
    for (QCheckBox *box : view.findChildren<QCheckBox *>()) {
        if (!box->font().bold())
            continue;
        ++checked;
        const int indicator =
            box->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, box) +
            box->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, box);
        EXPECT_GE(box->width(), indicator + box->fontMetrics().horizontalAdvance(box->text()))
            << box->objectName().toStdString();
    }
    EXPECT_EQ(checked, 8 + 8 + 6);
}

// A record from a file can hold any float and any count. A value wider than its field
// is cut with a visible mark and kept whole in the hint; leading digits or a minus sign
// are never lost silently, and every temperature fits whole.
TEST(LogView, ReadingsTooWideForTheirFieldAreCutVisiblyNeverSilently)
{
    LogView view;
    view.show();
    QCoreApplication::processEvents();
    view.setFixedSize(view.size()); // the page does not grow with the values it shows
    LogRecord r;
    r.temperatures[0] = -32768;
    r.analog[0] = 3e38f;
    r.analog[3] = -1.5e9f;
    view.showRecord(r, {});
    QCoreApplication::processEvents();
    for (const char *name : {"stLogTemper1", "stLogAnalog1", "stLogAnalog4"}) {
        auto *field = view.findChild<QLabel *>(QLatin1String(name));
        ASSERT_NE(field, nullptr) << name;
        const int room = field->contentsRect().width() - 2 * field->margin();
        EXPECT_LE(field->fontMetrics().horizontalAdvance(field->text()), room) << name;
    }
    EXPECT_EQ(view.findChild<QLabel *>("stLogTemper1")->text(), QStringLiteral("-16384.0"));
    auto *analog = view.findChild<QLabel *>("stLogAnalog1");
    EXPECT_TRUE(analog->text().startsWith(work::formatAnalog(3e38f).left(3)))
        << analog->text().toStdString();
    EXPECT_TRUE(analog->text().endsWith(QChar(0x2026))) << analog->text().toStdString();
    EXPECT_TRUE(view.findChild<QLabel *>("stLogAnalog4")->text().startsWith(QLatin1Char('-')))
        << "a negative value keeps its sign";
    EXPECT_EQ(ui::worklook::valueText(analog), work::formatAnalog(3e38f));
}

TEST(LogPageRead, SingleRecordGoesToTheViewOnly)
{
    LogPage p;
    p.control<QSpinBox>("LogRecEdit")->setValue(5);
    p.click("ReadLogRecBtn");
    ASSERT_TRUE(test::waitUntil([&] { return !p.page.isReading(); }));
    EXPECT_EQ(p.page.workingRecord().number, 5u);
    EXPECT_EQ(p.text("stLogRecNumber"), QStringLiteral("5"));
    EXPECT_FALSE(p.page.store().isLoaded());
    EXPECT_EQ(p.control<QScrollBar>("LogScrollBar")->maximum(), 100);
}

TEST(LogPageFile, SaveAfterReadThenLoadGivesTheSameStoreViewAndCount)
{
    LogPage p;
    p.click("SaveLogBtn"); // nothing read: no dialog
    EXPECT_TRUE(p.rig.prompts.saveRequests.isEmpty());

    p.click("ReadLogBtn");
    ASSERT_TRUE(test::waitUntil([&] { return !p.page.isReading(); }));
    const QString path = test::tempPath(QStringLiteral("round.log"));
    p.rig.prompts.saveAnswers.push_back(path);
    p.click("SaveLogBtn");
    ASSERT_EQ(p.rig.prompts.saveRequests.size(), 1);
    const ui::FileDialogRequest &save = p.rig.prompts.saveRequests.first();
    EXPECT_EQ(save.title, QStringLiteral("Сохранить протокол работы терминала"));
    EXPECT_EQ(save.filterIndex, 3);
    EXPECT_EQ(save.defaultSuffix, QStringLiteral("log"));
    const QByteArray file = test::readFile(path);
    EXPECT_EQ(file.size(), 2016);
    EXPECT_EQ(file, p.page.store().fileBytes());

    LogPage other(sim::emptyController());
    other.rig.prompts.openAnswers.push_back(path);
    other.click("LoadLogBtn");
    const ui::FileDialogRequest &open = other.rig.prompts.openRequests.first();
    EXPECT_EQ(open.title, QStringLiteral("Загрузить протокол работы терминала"));
    EXPECT_EQ(open.filterIndex, 4);
    EXPECT_EQ(other.page.store().fileBytes(), file);
    EXPECT_EQ(other.text("stLogMaxRecords"), QStringLiteral("24"));
    EXPECT_EQ(other.text("stLogRecNumber"), QString::number(p.page.store().record(1).number));
    other.control<QScrollBar>("LogScrollBar")->setValue(24);
    EXPECT_EQ(other.text("stLogRecNumber"), p.text("stLogRecNumber"));
    EXPECT_EQ(other.text("stLogTemper3"), p.text("stLogTemper3"));
}

TEST(LogPageFile, ShortMissingAndOversizedFilesAreReportedAndNeverOverrun)
{
    LogPage p;
    const QString shortFile = test::tempPath(QStringLiteral("short.log"));
    test::writeFile(shortFile, QByteArray(50, '\x01'));
    p.rig.prompts.openAnswers = {shortFile, test::tempPath(QStringLiteral("absent.log"))};
    p.click("LoadLogBtn");
    p.click("LoadLogBtn");
    ASSERT_EQ(p.rig.prompts.messages.size(), 2);
    EXPECT_TRUE(p.rig.prompts.messages[0].contains(shortFile));
    EXPECT_TRUE(p.rig.prompts.messages[1].contains(QStringLiteral("absent.log")));
    EXPECT_FALSE(p.page.store().isLoaded());
    EXPECT_EQ(p.control<QScrollBar>("LogScrollBar")->maximum(), 100);

    const QString big = test::tempPath(QStringLiteral("big.log"));
    test::writeFile(big, QByteArray(84 * 16390, '\x02'));
    p.rig.prompts.openAnswers = {big};
    p.click("LoadLogBtn");
    EXPECT_EQ(p.page.store().count(), 16384);
    EXPECT_EQ(p.text("stLogMaxRecords"), QStringLiteral("16384"));
    ASSERT_EQ(p.rig.prompts.messages.size(), 3);
    EXPECT_TRUE(p.rig.prompts.messages[2].contains(QStringLiteral("16384")));
}

TEST(LogPageExport, NothingLoadedSaysSoAndWritesNothing)
{
    LogPage p;
    const QString folder = test::tempPath(QStringLiteral("export-empty"));
    p.page.setExportFolder(folder);
    p.click("ExportEcxelBtn");
    p.click("ExportCsvBtn");
    EXPECT_EQ(p.rig.prompts.messages.size(), 2);
    EXPECT_TRUE(QDir(folder).entryList(QDir::Files).isEmpty());
    EXPECT_TRUE(p.opened.isEmpty());
}

TEST(LogPageExport, WorkbookIsWrittenToTheFolderAndOpenedOrItsPlaceNamed)
{
    LogPage p;
    p.page.onConfigurationTaken(); // the values are trusted: no note to tell
    p.click("ReadLogBtn");
    ASSERT_TRUE(test::waitUntil([&] { return !p.page.isReading(); }));
    const QString folder = test::tempPath(QStringLiteral("export"));
    p.page.setExportFolder(folder);
    p.click("ExportEcxelBtn");
    ASSERT_EQ(p.opened.size(), 1);
    const QString path = p.opened.first().toLocalFile();
    EXPECT_TRUE(QFileInfo(path).fileName().startsWith(QStringLiteral("vardex-log-")));
    EXPECT_TRUE(path.endsWith(QStringLiteral(".xlsx")));
    EXPECT_GT(QFileInfo(path).size(), 0);
    EXPECT_TRUE(p.rig.prompts.messages.isEmpty());
    EXPECT_TRUE(p.rig.statusBar.panelText(5).contains(QDir::toNativeSeparators(path)));

    // A second export in the same minute gets a name of its own; the first stays.
    const QByteArray first = test::readFile(path);
    p.openerWorks = false;
    p.click("ExportEcxelBtn");
    const QString second = path.chopped(5) + QStringLiteral(" (2).xlsx");
    ASSERT_EQ(p.rig.prompts.messages.size(), 1);
    EXPECT_TRUE(p.rig.prompts.messages[0].contains(QDir::toNativeSeparators(second)))
        << p.rig.prompts.messages[0].toStdString();
    EXPECT_EQ(test::readFile(path), first);
    EXPECT_GT(QFileInfo(second).size(), 0);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 2);

    p.page.tableExport().setLocale(QLocale::c());
    p.click("ExportCsvBtn");
    const QByteArray csv = test::readFile(path.chopped(4) + QStringLiteral("csv"));
    EXPECT_TRUE(csv.startsWith("\xEF\xBB\xBFNumber,Day,Month,Year,"));
    EXPECT_EQ(csv.count("\r\n"), 25);
}

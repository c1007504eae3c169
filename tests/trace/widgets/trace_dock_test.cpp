#include "link/data_module.h"
#include "link/protocol.h"
#include "support/no_devices.h"
#include "support/recording_prompts.h"
#include "support/sim_controller.h"
#include "support/test_support.h"
#include "trace/widgets/trace_dock.h"
#include "trace/widgets/trace_model.h"
#include "ui/main_window.h"

#include <QApplication>
#include <QMenuBar>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>

#include <gtest/gtest.h>

using namespace vardex;
namespace p = vardex::link::protocol;

namespace {

trace::DecodedEntry named(const QString &name)
{
    trace::DecodedEntry e;
    e.name = name;
    return e;
}

link::TraceEntry sent(const link::Payload &payload, qint64 ns)
{
    return {ns, link::TraceEntry::Direction::Sent, payload};
}

// A dock on a clock that stands still unless moved, shown so its view lays out.
struct DockRig {
    DockRig()
    {
        dock.resize(700, 300);
        dock.show();
        QApplication::processEvents();
    }
    // n more lines, moved into the view as the batch timer would.
    void add(int n)
    {
        for (int i = 0; i < n; ++i) {
            dock.append(sent(p::readState(0), ++ns * 1'000'000));
            clock.advanceMs(1);
        }
        dock.flush();
        QApplication::processEvents();
    }
    QScrollBar &scroll() { return *dock.view().verticalScrollBar(); }
    bool atEnd() { return scroll().maximum() > 0 && scroll().value() == scroll().maximum(); }

    test::RecordingPrompts prompts;
    ManualClock clock{QDateTime(QDate(2026, 12, 8), QTime(9, 41, 7, 120))};
    trace::TraceDock dock{prompts, nullptr, clock};
    qint64 ns = 0;
};

} // namespace

TEST(TraceModel, KeepsOnlyTheNewestEntriesAcrossBatches)
{
    trace::TraceModel model(5);
    model.appendBatch({named("a"), named("b"), named("c")});
    model.appendBatch({named("d"), named("e"), named("f"), named("g")});
    ASSERT_EQ(model.rowCount(), 5);
    EXPECT_EQ(model.entry(0).name, "c");
    EXPECT_EQ(model.entry(4).name, "g");
    // A batch larger than the whole capacity keeps its own tail.
    std::vector<trace::DecodedEntry> big;
    for (int i = 0; i < 12; ++i)
        big.push_back(named(QString::number(i)));
    model.appendBatch(std::move(big));
    ASSERT_EQ(model.rowCount(), 5);
    EXPECT_EQ(model.entry(0).name, "7");
    EXPECT_EQ(model.entry(4).name, "11");
}

TEST(TraceDock, FollowsNewLinesUnlessScrolledUp)
{
    DockRig rig;
    rig.add(200);
    EXPECT_TRUE(rig.atEnd()) << rig.scroll().value() << "/" << rig.scroll().maximum();
    rig.add(50);
    EXPECT_TRUE(rig.atEnd()) << "new lines keep the newest in view";
    // The engineer scrolls up to read: new lines do not pull the view away.
    rig.scroll().setValue(10);
    EXPECT_FALSE(rig.dock.isFollowing());
    rig.add(50);
    EXPECT_EQ(rig.scroll().value(), 10);
    // Back at the end, it follows again.
    rig.scroll().setValue(rig.scroll().maximum());
    rig.add(50);
    EXPECT_TRUE(rig.atEnd());
    EXPECT_EQ(rig.dock.model().rowCount(), 350);
}

TEST(TraceDock, LinesCarryTheTimeOfDayBesideTheRelativeTime)
{
    DockRig rig;
    rig.add(2);
    const trace::DecodedEntry &second = rig.dock.model().entry(1);
    EXPECT_EQ(second.wallTime, QTime(9, 41, 7, 121));
    const QString line = trace::formatLine(second);
    EXPECT_TRUE(line.startsWith("09:41:07.121 ")) << line.toStdString();
    EXPECT_TRUE(line.contains("1.000 > ReadState 0")) << line.toStdString();
    const QModelIndex wall = rig.dock.model().index(1, trace::TraceModel::WallTime);
    EXPECT_EQ(wall.data().toString(), "09:41:07.121");
}

TEST(TraceDock, BatchesPauseFilterClearAndSaveTheTraceFilesText)
{
    DockRig rig;
    trace::TraceDock &dock = rig.dock;
    QStringList fileLines;
    dock.setLineSink([&](const QString &line) { fileLines << line; });

    dock.append(sent(p::readState(0), 1'000'000));
    dock.append(sent(p::readClock(), 2'000'000));
    EXPECT_EQ(dock.model().rowCount(), 0) << "entries wait for the next batch";
    dock.flush();
    EXPECT_EQ(dock.model().rowCount(), 2);

    dock.setPaused(true);
    dock.append(sent(p::readLogRecord(7), 3'000'000));
    dock.flush();
    EXPECT_EQ(dock.model().rowCount(), 2);
    EXPECT_EQ(fileLines.size(), 3) << "the trace file is written while the view is paused";

    // Saved text is the --trace file's text, held lines and paused ones alike, whatever
    // the filter shows.
    dock.filterModel().setFilterFixedString(QStringLiteral("readclock"));
    EXPECT_EQ(dock.filterModel().rowCount(), 1);
    const QString path = test::tempPath(QStringLiteral("trace.txt"));
    rig.prompts.saveAnswers.push_back(path);
    dock.saveAs();
    EXPECT_EQ(QString::fromUtf8(test::readFile(path)), fileLines.join('\n') + QLatin1Char('\n'));
    EXPECT_EQ(dock.visibleText(), fileLines[1] + QLatin1Char('\n'));

    dock.setPaused(false);
    EXPECT_EQ(dock.model().rowCount(), 3);
    dock.clear();
    EXPECT_EQ(dock.model().rowCount(), 0);
    rig.prompts.saveAnswers.push_back(QStringLiteral("/nonexistent-folder/trace.txt"));
    dock.saveAs();
    ASSERT_EQ(rig.prompts.messages.size(), 1);
    EXPECT_TRUE(rig.prompts.messages[0].startsWith("Не удалось сохранить"));
}

// Another listener (a test, the command line's watch) no longer cuts the dock off.
TEST(TraceDock, TheWindowsDockKeepsListeningBesideOtherSinks)
{
    test::SimController sim;
    test::RecordingPrompts prompts;
    ui::MainWindow window(sim.dm, &prompts);
    ASSERT_TRUE(sim.plug());
    int other = 0;
    sim.dm.setTraceSink([&](const link::TraceEntry &) { ++other; });
    const int extra = sim.dm.addTraceListener([&](const link::TraceEntry &) { ++other; });
    auto readClock = [&] {
        sim.dm.runOperation([](link::OperationContext &ctx) {
            ctx.send(p::readClock());
            ctx.waitReply(500);
        });
        window.traceDock().flush();
    };
    readClock();
    EXPECT_EQ(window.traceDock().model().rowCount(), 2) << "request and reply";
    EXPECT_EQ(other, 4);
    sim.dm.removeTraceListener(extra);
    readClock();
    EXPECT_EQ(window.traceDock().model().rowCount(), 4);
    EXPECT_EQ(other, 6);
}

// Docked, the trace takes room below the pages: the window grows, the pages keep theirs.
TEST(TraceDock, DockedTheWindowGrowsInsteadOfCrushingThePages)
{
    test::NoDevices transport;
    link::DataModule dm(transport);
    test::RecordingPrompts prompts;
    ui::MainWindow window(dm, &prompts);
    window.show();
    QApplication::processEvents();
    const QSize pagesBefore = window.pageControl().size();
    const QSize windowBefore = window.size();
    trace::TraceDock &dock = window.traceDock();
    EXPECT_TRUE(dock.isFloating()) << "floating by default";

    dock.show();
    dock.setFloating(false);
    QApplication::processEvents();
    EXPECT_EQ(window.height(), windowBefore.height() + ui::MainWindow::kDockedTraceHeight +
                                   window.style()->pixelMetric(QStyle::PM_DockWidgetSeparatorExtent,
                                                               nullptr, &window));
    EXPECT_EQ(window.pageControl().size(), pagesBefore);
    EXPECT_EQ(dock.height(), ui::MainWindow::kDockedTraceHeight);

    dock.hide();
    QApplication::processEvents();
    EXPECT_EQ(window.size(), windowBefore) << "closed, the window shrinks back";
    EXPECT_EQ(window.pageControl().size(), pagesBefore);
    // The window goes with the trace docked and shown (its end hides the dock).
    dock.show();
    QApplication::processEvents();
    EXPECT_GT(window.height(), windowBefore.height());
}

#include "link/data_module.h"
#include "link/protocol.h"
#include "support/recording_prompts.h"
#include "support/test_support.h"
#include "ui/trace_dock.h"
#include "ui/trace_model.h"

#include <QSortFilterProxyModel>

#include <gtest/gtest.h>

using namespace vardex;
namespace p = vardex::link::protocol;

namespace {

link::trace::DecodedEntry named(const QString &name)
{
    link::trace::DecodedEntry e;
    e.name = name;
    return e;
}

link::TraceEntry sent(const link::Payload &payload, qint64 ns)
{
    return {ns, link::TraceEntry::Direction::Sent, payload};
}

} // namespace

TEST(TraceModel, KeepsOnlyTheNewestEntriesAcrossBatches)
{
    ui::TraceModel model(5);
    model.appendBatch({named("a"), named("b"), named("c")});
    model.appendBatch({named("d"), named("e"), named("f"), named("g")});
    ASSERT_EQ(model.rowCount(), 5);
    EXPECT_EQ(model.entry(0).name, "c");
    EXPECT_EQ(model.entry(4).name, "g");
    // A batch larger than the whole capacity keeps its own tail.
    std::vector<link::trace::DecodedEntry> big;
    for (int i = 0; i < 12; ++i)
        big.push_back(named(QString::number(i)));
    model.appendBatch(std::move(big));
    ASSERT_EQ(model.rowCount(), 5);
    EXPECT_EQ(model.entry(0).name, "7");
    EXPECT_EQ(model.entry(4).name, "11");
}

TEST(TraceDock, BatchesPauseFilterClearAndSave)
{
    test::RecordingPrompts prompts;
    ui::TraceDock dock(prompts);
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
    dock.setPaused(false);
    EXPECT_EQ(dock.model().rowCount(), 3);

    dock.filterModel().setFilterFixedString(QStringLiteral("readclock"));
    EXPECT_EQ(dock.filterModel().rowCount(), 1);
    const QString path = test::tempPath(QStringLiteral("trace.txt"));
    prompts.saveAnswers.push_back(path);
    dock.saveAs();
    const QString saved = QString::fromUtf8(test::readFile(path));
    EXPECT_EQ(saved, fileLines[1] + QLatin1Char('\n'));
    EXPECT_TRUE(saved.contains("1.000 > ReadClock")) << saved.toStdString();

    dock.clear();
    EXPECT_EQ(dock.model().rowCount(), 0);
    prompts.saveAnswers.push_back(QStringLiteral("/nonexistent-folder/trace.txt"));
    dock.saveAs();
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].startsWith("Не удалось сохранить"));
}

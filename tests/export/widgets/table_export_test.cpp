#include "common/clock.h"
#include "export/widgets/table_export.h"
#include "support/recording_prompts.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vardex;

namespace {

exporting::Table oneCell(const QString &text)
{
    exporting::Table t;
    t.headers = {QStringLiteral("A")};
    t.cells = {text};
    return t;
}

} // namespace

// Two exports in the same minute, the second started while the first builds its table (a
// second page or window doing the same): two files, each with its own table.
TEST(TableExport, TwoExportsStartedTogetherWriteTwoFiles)
{
    QTemporaryDir dir;
    test::RecordingPrompts prompts;
    ManualClock clock{QDateTime(QDate(2026, 12, 8), QTime(10, 15, 0))};
    exporting::TableExport first(prompts, clock);
    exporting::TableExport second(prompts, clock);
    for (exporting::TableExport *e : {&first, &second}) {
        e->setFolder(dir.path());
        e->setLocale(QLocale::c());
    }
    exporting::ExportRequest request;
    request.format = exporting::ExportFormat::Csv;
    request.baseName = QStringLiteral("vardex-log");
    request.subject = QStringLiteral("Лог");

    files::FileResult inner;
    const files::FileResult outer = first.run(request, [&] {
        inner = second.run(request, [] { return oneCell(QStringLiteral("second")); });
        return oneCell(QStringLiteral("first"));
    });

    ASSERT_TRUE(outer.ok);
    ASSERT_TRUE(inner.ok);
    EXPECT_NE(outer.path, inner.path);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);
    QFile a(outer.path);
    QFile b(inner.path);
    ASSERT_TRUE(a.open(QIODevice::ReadOnly));
    ASSERT_TRUE(b.open(QIODevice::ReadOnly));
    EXPECT_TRUE(a.readAll().contains("first"));
    EXPECT_TRUE(b.readAll().contains("second"));
}

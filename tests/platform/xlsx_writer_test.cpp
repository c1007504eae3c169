#include "export/log_table.h"
#include "platform/xlsx_writer.h"
#include "support/log_records.h"
#include "support/test_support.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

using namespace vardex;

namespace {

// An independent reader: openpyxl in a child python3, printing the sheet as JSON.
const char *kReader = R"(
import json, sys
from openpyxl import load_workbook
book = load_workbook(sys.argv[1])
sheet = book.worksheets[0]
rows = [[c.value for c in row] for row in sheet.iter_rows()]
bold = [bool(c.font and c.font.b) for c in sheet[1]]
bold_below = any(bool(c.font and c.font.b) for row in sheet.iter_rows(min_row=2) for c in row)
print(json.dumps({"title": sheet.title, "rows": rows, "bold": bold, "boldBelow": bold_below,
                  "kinds": [type(v).__name__ for v in rows[1]] if len(rows) > 1 else []}))
)";

QString pythonWithOpenpyxl()
{
    for (const QString &candidate :
         {QStringLiteral("/usr/bin/python3"), QStringLiteral("python3")}) {
        QProcess p;
        p.start(candidate, {QStringLiteral("-c"), QStringLiteral("import openpyxl")});
        if (p.waitForFinished(20000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0)
            return candidate;
    }
    return {};
}

QJsonObject readBack(const QString &python, const QString &path)
{
    QProcess p;
    p.start(python, {QStringLiteral("-c"), QString::fromUtf8(kReader), path});
    EXPECT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

} // namespace

TEST(XlsxWriter, WorkbookReadsBackCellByCellWithABoldHeaderRow)
{
    const QString python = pythonWithOpenpyxl();
    if (python.isEmpty())
        GTEST_SKIP() << "python3 with openpyxl is not installed: no independent reader";
    const exporting::Table table =
        exporting::buildLogTable(test::craftedLogStore(24), {0, 1, 2, 3, 9, 0});
    const QString path = test::tempPath(QStringLiteral("log.xlsx"));
    const files::FileResult written = platform::writeXlsx(path, table);
    ASSERT_TRUE(written.ok) << written.message().toStdString();
    EXPECT_FALSE(QFile::exists(path + QStringLiteral(".part")));

    const QJsonObject sheet = readBack(python, path);
    EXPECT_EQ(sheet[QStringLiteral("title")].toString(), QStringLiteral("Лог"));
    const QJsonArray rows = sheet[QStringLiteral("rows")].toArray();
    ASSERT_EQ(rows.size(), 25);
    const QJsonArray header = rows[0].toArray();
    ASSERT_EQ(header.size(), 40);
    for (int c = 0; c < 40; ++c)
        EXPECT_EQ(header[c].toString(), table.headers[c]) << "column " << c + 1;
    for (int r = 0; r < 24; ++r) {
        const QJsonArray row = rows[r + 1].toArray();
        for (int c = 0; c < 40; ++c) {
            const exporting::Cell &cell = table.at(r, c);
            if (const auto *i = std::get_if<std::int64_t>(&cell))
                EXPECT_EQ(row[c].toDouble(), static_cast<double>(*i)) << r << "," << c;
            else if (const auto *d = std::get_if<double>(&cell))
                EXPECT_EQ(row[c].toDouble(), *d) << r << "," << c;
            else
                EXPECT_TRUE(row[c].isNull()) << r << "," << c;
        }
    }
    // Integers read back as integers, non-integral reals as reals.
    const QJsonArray kinds = sheet[QStringLiteral("kinds")].toArray();
    EXPECT_EQ(kinds[0].toString(), QStringLiteral("int"));
    EXPECT_EQ(kinds[9].toString(), QStringLiteral("float"));
    const QJsonArray bold = sheet[QStringLiteral("bold")].toArray();
    for (int c = 0; c < 40; ++c)
        EXPECT_TRUE(bold[c].toBool()) << "header cell " << c + 1 << " not bold";
    EXPECT_EQ(bold.size(), 40) << "a cell beyond the header was touched";
    EXPECT_FALSE(sheet[QStringLiteral("boldBelow")].toBool());
}

TEST(XlsxWriter, UnwritableFolderIsReportedWithThePathAndLeavesNoFile)
{
    const exporting::Table table = exporting::buildLogTable(test::craftedLogStore(2), {});
    const QString path = QStringLiteral("/nonexistent-folder/log.xlsx");
    const files::FileResult written = platform::writeXlsx(path, table);
    EXPECT_FALSE(written.ok);
    EXPECT_FALSE(written.reason.isEmpty());
    EXPECT_EQ(written.path, path);
}

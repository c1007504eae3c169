#include "export/xlsx_file.h"
#include "log/log_table.h"
#include "support/log_records.h"
#include "support/python_reader.h"
#include "support/test_support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <limits>

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
    return test::pythonWith(QStringLiteral("openpyxl"));
}

QJsonObject readBack(const QString &python, const QString &path)
{
    return test::runPythonReader(python, kReader, {path});
}

} // namespace

TEST(XlsxWriter, WorkbookReadsBackCellByCellWithABoldHeaderRow)
{
    const QString python = pythonWithOpenpyxl();
    if (python.isEmpty())
        GTEST_SKIP() << "python3 with openpyxl is not installed: no independent reader";
    const exporting::Table table =
        log::buildLogTable(test::craftedLogStore(24), {0, 1, 2, 3, 9, 0});
    const QString path = test::tempPath(QStringLiteral("log.xlsx"));
    const files::FileResult written = exporting::writeXlsxFile(path, table);
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
    const exporting::Table table = log::buildLogTable(test::craftedLogStore(2), {});
    const QString path = QStringLiteral("/nonexistent-folder/log.xlsx");
    const files::FileResult written = exporting::writeXlsxFile(path, table);
    EXPECT_FALSE(written.ok);
    EXPECT_FALSE(written.reason.isEmpty());
    EXPECT_EQ(written.path, path);
}

TEST(XlsxWriter, AwkwardTextsReadBackAsTextsWithForbiddenCharactersReplaced)
{
    const QString python = pythonWithOpenpyxl();
    if (python.isEmpty())
        GTEST_SKIP() << "python3 with openpyxl is not installed: no independent reader";
    const QChar bad(0xFFFD);
    exporting::Table table;
    table.sheetName = QStringLiteral("Лог: <1/2>");
    table.headers = {QStringLiteral("Время & дата"), QStringLiteral("\"<Канал>\""),
                     QStringLiteral("Код")};
    // Each text with what a reader must see.
    const std::vector<std::pair<QString, QString>> texts{
        {QStringLiteral("A & B < C > D \"E\" 'F'"), QStringLiteral("A & B < C > D \"E\" 'F'")},
        {QStringLiteral("Температура канала А4"), QStringLiteral("Температура канала А4")},
        {QStringLiteral("  пробелы по краям  "), QStringLiteral("  пробелы по краям  ")},
        {QStringLiteral("строка 1\r\nстрока 2\tконец"),
         QStringLiteral("строка 1\r\nстрока 2\tконец")},
        {QStringLiteral("007"), QStringLiteral("007")},
        {QStringLiteral("bell") + QChar(0x07) + QStringLiteral("nul") + QChar(0x00) +
             QStringLiteral("esc") + QChar(0x1B),
         QStringLiteral("bell") + bad + QStringLiteral("nul") + bad + QStringLiteral("esc") + bad},
        {QStringLiteral("half ") + QChar(0xD83D) + QStringLiteral(" pair"),
         QStringLiteral("half ") + bad + QStringLiteral(" pair")},
    };
    for (const auto &[text, seen] : texts) {
        table.cells.emplace_back(text);
        table.cells.emplace_back(std::numeric_limits<double>::quiet_NaN());
        table.cells.emplace_back(std::int64_t{-42});
    }
    const QString path = test::tempPath(QStringLiteral("awkward.xlsx"));
    const files::FileResult written = exporting::writeXlsxFile(path, table);
    ASSERT_TRUE(written.ok) << written.message().toStdString();

    const QJsonObject sheet = readBack(python, path);
    EXPECT_EQ(sheet[QStringLiteral("title")].toString(), QStringLiteral("Лог_ <1_2>"));
    const QJsonArray rows = sheet[QStringLiteral("rows")].toArray();
    ASSERT_EQ(rows.size(), static_cast<qsizetype>(texts.size()) + 1);
    for (int c = 0; c < 3; ++c)
        EXPECT_EQ(rows[0].toArray()[c].toString(), table.headers[c]);
    for (std::size_t r = 0; r < texts.size(); ++r) {
        const QJsonArray row = rows[static_cast<qsizetype>(r) + 1].toArray();
        EXPECT_TRUE(row[0].isString()) << "text " << r << " did not read back as a text";
        EXPECT_EQ(row[0].toString(), texts[r].second) << "text " << r;
        EXPECT_TRUE(row[1].isNull()) << "a NaN left something in row " << r;
        EXPECT_EQ(row[2].toInt(), -42);
    }
    EXPECT_EQ(sheet[QStringLiteral("kinds")].toArray()[0].toString(), QStringLiteral("str"));
}

TEST(XlsxWriter, FailedExportLeavesTheExistingFileAsItWasAndNoLeftovers)
{
    const QString path = test::tempPath(QStringLiteral("kept/log.xlsx"));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
    test::writeFile(path, QByteArrayLiteral("the previous export"));
    // More columns than a sheet holds: refused after the file was opened for writing.
    exporting::Table table;
    for (int c = 0; c < 16385; ++c)
        table.headers << QString::number(c);
    const files::FileResult written = exporting::writeXlsxFile(path, table);
    EXPECT_FALSE(written.ok);
    EXPECT_FALSE(written.reason.isEmpty());
    EXPECT_EQ(test::readFile(path), QByteArrayLiteral("the previous export"));
    EXPECT_EQ(QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("log.xlsx")});

    // And a successful one replaces it.
    table.headers = QStringList{QStringLiteral("x")};
    ASSERT_TRUE(exporting::writeXlsxFile(path, table).ok);
    EXPECT_TRUE(test::readFile(path).startsWith("PK\x03\x04"));
    EXPECT_EQ(QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

#include "export/chart_table.h"
#include "export/csv.h"
#include "log/log_table.h"
#include "support/log_records.h"

#include <gtest/gtest.h>

using namespace vardex;
using namespace vardex::exporting;

namespace {

const std::array<std::uint8_t, 6> kResolution{0, 1, 2, 3, 7, 1};

template <typename T> T cellAs(const Table &t, int row, int column)
{
    const auto *v = std::get_if<T>(&t.at(row, column));
    EXPECT_TRUE(v) << "row " << row << " column " << column << " holds another kind of cell";
    return v ? *v : T{};
}

} // namespace

TEST(LogExportTable, HeadersAndOneRowPerRecordInSlotOrder)
{
    const Table t = buildLogTable(test::craftedLogStore(24), kResolution);
    ASSERT_EQ(t.columns(), 40);
    EXPECT_EQ(t.headers.first(), QStringLiteral("Number"));
    EXPECT_EQ(t.headers[9], QStringLiteral("Analog_1"));
    EXPECT_EQ(t.headers[14], QStringLiteral("Power_220"));
    EXPECT_EQ(t.headers[21], QStringLiteral("FanTask_1"));
    EXPECT_EQ(t.headers[22], QStringLiteral("FanSpeed_1"));
    EXPECT_EQ(t.headers[30], QStringLiteral("Switchs"));
    EXPECT_EQ(t.headers.last(), QStringLiteral("Flags_8"));
    ASSERT_EQ(t.rows(), 24); // with the header row, 25 rows in the sheet
    for (int r = 0; r < 24; ++r)
        EXPECT_EQ(cellAs<std::int64_t>(t, r, 0), r + 1);
}

TEST(LogExportTable, IntegersStayIntegersRealsAreShortestAndTemperaturesScaled)
{
    const Table t = buildLogTable(test::craftedLogStore(2), kResolution);
    EXPECT_EQ(cellAs<std::int64_t>(t, 1, 3), 11); // year as stored
    EXPECT_EQ(cellAs<std::int64_t>(t, 1, 7), 2);  // contacts byte
    EXPECT_DOUBLE_EQ(cellAs<double>(t, 0, 9), 12.1);
    EXPECT_DOUBLE_EQ(cellAs<double>(t, 0, 14), 221.7);
    // Raw 100 at codes 0, 1, 2, 3; code 7 has no scale: an empty cell, not a guess.
    EXPECT_DOUBLE_EQ(cellAs<double>(t, 0, 15), 50.0);
    EXPECT_DOUBLE_EQ(cellAs<double>(t, 0, 16), 25.0);
    EXPECT_DOUBLE_EQ(cellAs<double>(t, 0, 17), 12.5);
    EXPECT_DOUBLE_EQ(cellAs<double>(t, 0, 18), 6.25);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(t.at(0, 19)));
    EXPECT_EQ(cellAs<std::int64_t>(t, 0, 23), 10);   // FanTask_2 = fan task 2
    EXPECT_EQ(cellAs<std::int64_t>(t, 0, 24), 1001); // FanSpeed_2
    EXPECT_EQ(cellAs<std::int64_t>(t, 0, 39), 8);
}

TEST(LogExportTable, FlagColumnsHoldTheFlagByteOnly)
{
    log::RecordStore store = test::craftedLogStore(1);
    log::LogRecord r = store.record(1);
    r.flagGroups[0] = 0x1234;
    store.setRecord(1, r);
    EXPECT_EQ(cellAs<std::int64_t>(buildLogTable(store, kResolution), 0, 32), 0x34);
}

TEST(LogExportTable, NothingLoadedGivesNoRows)
{
    log::RecordStore store;
    EXPECT_EQ(buildLogTable(store, kResolution).rows(), 0);
}

TEST(ChartExportTable, EveryPointInOrderSplitIntoHourMinuteSecond)
{
    std::vector<ChartPoint> points;
    const QDateTime start(QDate(2026, 12, 7), QTime(23, 59, 58));
    for (int i = 0; i < 3; ++i)
        points.push_back({start.addSecs(i), {5.0 + i, 4.9}});
    const Table t = buildChartTable(points, {QStringLiteral("USBPower"), QStringLiteral("Aver")});
    EXPECT_EQ(t.headers,
              (QStringList{QStringLiteral("Час"), QStringLiteral("Мин"), QStringLiteral("Сек"),
                           QStringLiteral("USBPower"), QStringLiteral("Aver")}));
    ASSERT_EQ(t.rows(), 3);
    EXPECT_EQ(cellAs<std::int64_t>(t, 0, 0), 23);
    EXPECT_EQ(cellAs<std::int64_t>(t, 0, 2), 58);
    EXPECT_EQ(cellAs<std::int64_t>(t, 2, 0), 0);
    EXPECT_DOUBLE_EQ(cellAs<double>(t, 2, 3), 7.0);
    EXPECT_DOUBLE_EQ(cellAs<double>(t, 2, 4), 4.9);
    EXPECT_EQ(buildChartTable({}, {QStringLiteral("USBPower")}).rows(), 0);
}

TEST(CsvWriter, QuotesOnlyWhatNeedsItAndEndsLinesWithCrLf)
{
    Table t;
    t.headers = {QStringLiteral("Name"), QStringLiteral("a,b"), QStringLiteral("Value")};
    t.cells = {Cell(QStringLiteral("say \"hi\"")),
               Cell(QStringLiteral("line\nbreak")),
               Cell(std::int64_t{-3}),
               Cell(QStringLiteral("Час")),
               Cell(),
               Cell(0.1)};
    EXPECT_EQ(toCsv(t), QByteArray("Name,\"a,b\",Value\r\n"
                                   "\"say \"\"hi\"\"\",\"line\nbreak\",-3\r\n") +
                            QStringLiteral("Час").toUtf8() + QByteArray(",,0.1\r\n"));
}

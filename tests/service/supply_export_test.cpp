#include "chart/axis_format.h"
#include "chart/chart_model.h"
#include "service/supply_export.h"

#include <gtest/gtest.h>

using vardex::exporting::Cell;

TEST(SupplyExport, EveryPointIsARowWithItsTimeAndBothSeries)
{
    vardex::chart::ChartModel model;
    model.addSeries({QStringLiteral("USBPower"), 0xFF0000, 2});
    model.addSeries({QStringLiteral("Aver"), 0x008000, 2});
    const QDateTime start(QDate(2026, 3, 1), QTime(23, 59, 58));
    for (int i = 0; i < 3; ++i) {
        const double x = vardex::chart::wallSeconds(start.addSecs(i));
        model.appendPoint(0, {x, 5.0 + i / 100.0});
        model.appendPoint(1, {x, 12.0 - i});
    }
    const auto table = vardex::service::supplyChartTable(model);
    EXPECT_EQ(table.headers, (QStringList{"Час", "Мин", "Сек", "USBPower", "Aver"}));
    ASSERT_EQ(table.rows(), 3); // the first and the last points too
    EXPECT_EQ(table.at(0, 0), Cell(std::int64_t{23}));
    EXPECT_EQ(table.at(0, 2), Cell(std::int64_t{58}));
    EXPECT_EQ(table.at(2, 0), Cell(std::int64_t{0}));
    EXPECT_EQ(table.at(2, 1), Cell(std::int64_t{0}));
    EXPECT_EQ(table.at(2, 2), Cell(std::int64_t{0}));
    EXPECT_EQ(table.at(1, 3), Cell(5.01));
    EXPECT_EQ(table.at(2, 4), Cell(10.0));
}

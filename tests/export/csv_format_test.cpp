#include "chart/chart_model.h"
#include "export/chart_table.h"
#include "export/csv.h"
#include "support/python_reader.h"
#include "support/test_support.h"

#include <QJsonArray>

#include <gtest/gtest.h>

using namespace vardex;
using namespace vardex::exporting;

namespace {

struct LocaleCase {
    const char *name;
    QLocale locale;
    char separator;
    char decimal;
    const char *description;
};

class CsvLocale : public ::testing::TestWithParam<LocaleCase> {};

// Texts with the separators of both conventions, a quote and a line break, reals
// that need their decimal sign and a value too long for a float.
Table awkwardTable()
{
    Table t;
    t.headers = {QStringLiteral("Время"), QStringLiteral("a;b"), QStringLiteral("c,d"),
                 QStringLiteral("Value")};
    t.cells = {Cell(QStringLiteral("01.04.2025 10:00:00")),
               Cell(QStringLiteral("say \"hi\"")),
               Cell(QStringLiteral("line\nbreak")),
               Cell(12.5),
               Cell(QStringLiteral("x")),
               Cell(),
               Cell(std::int64_t{-3}),
               Cell(0.1 + 0.2)};
    return t;
}

// Python's csv module with the dialect the file says it has; cells come back as texts.
const char *kCsvReader = R"(
import csv, json, sys
with open(sys.argv[1], newline='', encoding='utf-8-sig') as f:
    rows = list(csv.reader(f, delimiter=sys.argv[2]))
print(json.dumps({'rows': rows}))
)";

} // namespace

TEST_P(CsvLocale, FollowsTheLocalesDecimalSignAndAPythonReaderSplitsItBack)
{
    const LocaleCase &c = GetParam();
    const CsvFormat format = CsvFormat::forLocale(c.locale);
    EXPECT_EQ(format.separator, c.separator);
    EXPECT_EQ(format.decimal, c.decimal);
    EXPECT_TRUE(format.byteOrderMark);
    EXPECT_EQ(format.description(), QString::fromUtf8(c.description));

    const QString python = test::pythonWith(QStringLiteral("csv"));
    if (python.isEmpty())
        GTEST_SKIP() << "no python3";
    const QString path = test::tempPath(QStringLiteral("locale-%1.csv").arg(c.name));
    test::writeFile(path, toCsv(awkwardTable(), format));
    const QJsonObject read =
        test::runPythonReader(python, kCsvReader, {path, QString(QLatin1Char(c.separator))});
    const QJsonArray rows = read[QStringLiteral("rows")].toArray();
    ASSERT_EQ(rows.size(), 3);
    const auto cell = [&](int r, int col) { return rows[r].toArray()[col].toString(); };
    EXPECT_EQ(cell(0, 0), QStringLiteral("Время"));
    EXPECT_EQ(cell(0, 1), QStringLiteral("a;b"));
    EXPECT_EQ(cell(0, 2), QStringLiteral("c,d"));
    EXPECT_EQ(cell(1, 1), QStringLiteral("say \"hi\""));
    EXPECT_EQ(cell(1, 2), QStringLiteral("line\nbreak"));
    const QString dec = QString(QLatin1Char(c.decimal));
    EXPECT_EQ(cell(1, 3), QStringLiteral("12") + dec + QStringLiteral("5"));
    EXPECT_EQ(cell(2, 1), QString());
    EXPECT_EQ(cell(2, 2), QStringLiteral("-3"));
    // Read back in the locale's own terms, the real is the same double.
    EXPECT_EQ(c.locale.toDouble(cell(2, 3)), 0.1 + 0.2);
}

INSTANTIATE_TEST_SUITE_P(
    Locales, CsvLocale,
    ::testing::Values(LocaleCase{"ru", QLocale(QLocale::Russian, QLocale::Russia), ';', ',',
                                 "разделитель «;», десятичная запятая"},
                      LocaleCase{"de", QLocale(QLocale::German, QLocale::Germany), ';', ',',
                                 "разделитель «;», десятичная запятая"},
                      LocaleCase{"en", QLocale(QLocale::English, QLocale::UnitedStates), ',', '.',
                                 "разделитель «,», десятичная точка"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(CsvScripts, CommandLineFormatKeepsCommaAndPointWithoutAByteOrderMark)
{
    const QByteArray csv = toCsv(awkwardTable(), CsvFormat::forScripts());
    EXPECT_TRUE(csv.startsWith(QStringLiteral("Время,a;b,\"c,d\",Value\r\n").toUtf8()));
    EXPECT_TRUE(csv.contains(",12.5\r\n"));
}

// The graph window exports what it shows: the visible series, inside the time window.
TEST(ShownChartTable, VisibleSeriesInsideTheWindowWithUnitsAndGapsLeftEmpty)
{
    chart::ChartModel model;
    chart::SeriesStyle volts{QStringLiteral("А1_12В")};
    volts.unit = QStringLiteral("В");
    chart::SeriesStyle fan{QStringLiteral("Вент_1_Скор")};
    fan.unit = QStringLiteral("об/мин");
    chart::SeriesStyle hidden{QStringLiteral("Темп_1")};
    const int a = model.addSeries(volts);
    const int b = model.addSeries(fan);
    const int c = model.addSeries(hidden, false);
    const double t0 = chart::wallSeconds(QDateTime(QDate(2025, 4, 1), QTime(10, 0), Qt::UTC));
    model.setPoints(a, {{t0, 12.1}, {t0 + 60, 12.2}, {t0 + 120, 12.3}, {t0 + 180, 12.4}});
    model.setPoints(b, {{t0 + 60, 1500}, {t0 + 90, 1600}, {t0 + 180, 1700}});
    model.setPoints(c, {{t0 + 60, 20}});
    model.setTimeWindow({t0 + 30, t0 + 150});

    const Table t = buildShownChartTable(model);
    EXPECT_EQ(t.headers, (QStringList{QStringLiteral("Время"), QStringLiteral("А1_12В, В"),
                                      QStringLiteral("Вент_1_Скор, об/мин")}));
    ASSERT_EQ(t.rows(), 3); // t0+60, t0+90, t0+120
    EXPECT_EQ(std::get<QString>(t.at(0, 0)), QStringLiteral("01.04.2025 10:01:00"));
    EXPECT_EQ(std::get<double>(t.at(0, 1)), 12.2);
    EXPECT_EQ(std::get<double>(t.at(0, 2)), 1500);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(t.at(1, 1)));
    EXPECT_EQ(std::get<double>(t.at(1, 2)), 1600);
    EXPECT_EQ(std::get<double>(t.at(2, 1)), 12.3);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(t.at(2, 2)));
}

#include "chart/chart_model.h"
#include "chart/readout.h"

#include <gtest/gtest.h>

using namespace vardex::chart;

namespace {

struct SpanCase {
    const char *name;
    double span;
    const char *format;
};

class TimeLabels : public ::testing::TestWithParam<SpanCase> {};

TimeAxis adaptiveAxis()
{
    TimeAxis axis{QStringLiteral("dd hh:mm:ss"), 90};
    axis.adaptive = true;
    return axis;
}

// Three kinds of quantity: volts, degrees, fan speed.
ChartModel &kinds(ChartModel &m)
{
    SeriesStyle mains{QStringLiteral("VFC_220")};
    mains.unit = mains.axis = QStringLiteral("В");
    SeriesStyle a1{QStringLiteral("А1_12В")};
    a1.unit = a1.axis = QStringLiteral("В");
    SeriesStyle t1{QStringLiteral("Темп_1")};
    t1.unit = t1.axis = QStringLiteral("°C");
    SeriesStyle fan{QStringLiteral("Вент_1_Скор")};
    fan.unit = QStringLiteral("об/мин");
    fan.axis = QStringLiteral("об/мин, %");
    for (const SeriesStyle &s : {mains, a1, t1, fan})
        m.addSeries(s);
    m.setPoints(0, {{0, 221}, {600, 229}});
    m.setPoints(1, {{0, 11.5}, {600, 12.5}});
    m.setPoints(2, {{0, 19.75}, {600, 24.5}});
    m.setPoints(3, {{0, 0}, {600, 3000}});
    return m;
}

} // namespace

TEST_P(TimeLabels, CarryTheMonthAndYearOnlyPastAMonth)
{
    const SpanCase &c = GetParam();
    EXPECT_EQ(timeLabelFormat(adaptiveAxis(), c.span), QString::fromLatin1(c.format));
    // A chart that asked for one format keeps it whatever it shows.
    EXPECT_EQ(timeLabelFormat(TimeAxis{QStringLiteral("hh:mm:ss")}, c.span),
              QStringLiteral("hh:mm:ss"));
}

INSTANTIATE_TEST_SUITE_P(Spans, TimeLabels,
                         ::testing::Values(SpanCase{"hour", 3600, "dd hh:mm:ss"},
                                           SpanCase{"week", 7 * 86400, "dd hh:mm:ss"},
                                           SpanCase{"month", 31 * 86400, "dd hh:mm:ss"},
                                           SpanCase{"two_months", 62 * 86400, "dd.MM.yyyy"},
                                           SpanCase{"year", 365 * 86400, "dd.MM.yyyy"}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(ChartSpan, NamesBothEndsWithTheirDates)
{
    const double from = wallSeconds(QDateTime(QDate(2025, 4, 1), QTime(0, 0), Qt::UTC));
    EXPECT_EQ(spanText(from, from + 7 * 86400 + 90),
              QStringLiteral("01.04.2025 00:00:00 — 08.04.2025 00:01:30"));
}

// 220 V, 12 V, degrees and 3000 rpm on one axis leave the temperatures a flat line:
// each kind gets its own axis and range.
TEST(ChartAxes, EachKindOfQuantityHasItsOwnAxisAndRange)
{
    ChartModel m;
    kinds(m);
    EXPECT_EQ(m.valueAxes(), (QStringList{QStringLiteral("В"), QStringLiteral("°C"),
                                          QStringLiteral("об/мин, %")}));
    EXPECT_EQ(m.valueRange(QStringLiteral("В")), (Range{11.5, 229}));
    EXPECT_EQ(m.valueRange(QStringLiteral("°C")), (Range{19.75, 24.5}));
    EXPECT_EQ(m.valueRange(QStringLiteral("об/мин, %")), (Range{0, 3000}));
    EXPECT_EQ(m.valueRange(), m.valueRange(QStringLiteral("В")));

    m.setVisible(0, false); // the mains hidden: the volts axis follows 12 V alone
    EXPECT_EQ(m.valueRange(QStringLiteral("В")), (Range{11.5, 12.5}));

    m.zoomPercent(110);
    EXPECT_NEAR(m.valueRange(QStringLiteral("°C")).size(), 4.75 / 1.1, 1e-9);
    EXPECT_NEAR(m.valueRange(QStringLiteral("об/мин, %")).size(), 3000 / 1.1, 1e-9);
    m.resetZoom();
    EXPECT_EQ(m.valueRange(QStringLiteral("°C")), (Range{19.75, 24.5}));
}

TEST(ChartAxes, SeriesWithoutAnAxisShareTheChartsOne)
{
    ChartModel m;
    m.addSeries({QStringLiteral("USBPower")});
    m.addSeries({QStringLiteral("Aver")});
    EXPECT_EQ(m.valueAxes(), QStringList{QString()});
}

TEST(ChartReadout, EveryVisibleSeriesIsReadWithItsUnit)
{
    ChartModel m;
    kinds(m);
    m.setVisible(1, false);
    EXPECT_EQ(readoutText(readoutAt(m, 550), ValueAxis{}),
              QStringLiteral("01.01.1970 00:09:10\nVFC_220: 229.0 В\nТемп_1: 24.5 °C\n"
                             "Вент_1_Скор: 3000.0 об/мин"));
    EXPECT_EQ(legendName(m.series(2).style), QStringLiteral("Темп_1, °C"));
    EXPECT_EQ(legendName(SeriesStyle{QStringLiteral("ТТЛ_Вход")}), QStringLiteral("ТТЛ_Вход"));
}

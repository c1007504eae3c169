#include "log/graph_points.h"

#include "support/log_records.h"

#include <gtest/gtest.h>

using namespace vardex;
using namespace vardex::log;
using test::logRecordAt;

namespace {

const TemperatureResolutions kHalfDegree{};

GraphPoints pointsOf(const GraphSelection &sel, const std::vector<LogRecord> &records,
                     const TemperatureResolutions &res = kHalfDegree)
{
    return buildGraphPoints(
        sel, int(records.size()), [&](int slot) { return records.at(std::size_t(slot - 1)); }, res);
}

GraphSelection oneGraph(int parameter, int year)
{
    GraphSelection sel;
    sel.enabled[0] = true;
    sel.parameter[0] = parameter;
    sel.year = year;
    sel.last = 16384;
    return sel;
}

std::vector<double> times(const std::vector<chart::Point> &pts)
{
    std::vector<double> out;
    for (const auto &p : pts)
        out.push_back(p.time);
    return out;
}

double at(int y, int mo, int d, int h = 12, int mi = 0, int s = 0)
{
    return *recordTime(logRecordAt(y, mo, d, h, mi, s));
}

} // namespace

TEST(GraphFilter, OnlyRecordsOfTheChosenYearAndValidDatesAreDrawn)
{
    std::vector<LogRecord> log = {
        logRecordAt(11, 12, 31, 23, 59, 59),
        logRecordAt(12, 1, 1, 0, 0, 0),
        logRecordAt(11, 2, 31),          // 31 February
        logRecordAt(11, 13, 1),          // month 13
        logRecordAt(11, 3, 1, 24, 0, 0), // hour 24
        logRecordAt(11, 3, 1, 10, 0, 0),
    };
    const GraphPoints p = pointsOf(oneGraph(0, 11), log);
    EXPECT_EQ(times(p.series[0]),
              (std::vector<double>{at(11, 12, 31, 23, 59, 59), at(11, 3, 1, 10)}));
    EXPECT_EQ(p.recordsDrawn, 2);
    EXPECT_EQ(times(pointsOf(oneGraph(0, 12), log).series[0]),
              (std::vector<double>{at(12, 1, 1, 0, 0, 0)}));
}

TEST(GraphFilter, YearsBeyondTwentyAndBeforeNineAreDrawnWhenChosen)
{
    const std::vector<LogRecord> log = {logRecordAt(8, 5, 5), logRecordAt(21, 5, 5),
                                        logRecordAt(26, 5, 5), logRecordAt(0, 1, 1)};
    EXPECT_EQ(pointsOf(oneGraph(0, 8), log).series[0].size(), 1u);
    EXPECT_EQ(pointsOf(oneGraph(0, 21), log).series[0].size(), 1u);
    EXPECT_EQ(times(pointsOf(oneGraph(0, 26), log).series[0]), (std::vector<double>{at(26, 5, 5)}));
    EXPECT_EQ(pointsOf(oneGraph(0, 0), log).series[0].size(), 1u);
}

TEST(GraphFilter, SlotRangeIsInclusiveAndClampedToTheRecordCount)
{
    std::vector<LogRecord> log;
    for (int i = 1; i <= 10; ++i)
        log.push_back(logRecordAt(11, 1, i));
    GraphSelection sel = oneGraph(0, 11);
    sel.first = 3;
    sel.last = 5;
    EXPECT_EQ(times(pointsOf(sel, log).series[0]),
              (std::vector<double>{at(11, 1, 3), at(11, 1, 4), at(11, 1, 5)}));
    // A range kept from a longer log reads no slot beyond this one's records.
    sel.first = 9;
    sel.last = 500;
    int highest = 0;
    buildGraphPoints(
        sel, 10,
        [&](int slot) {
            highest = std::max(highest, slot);
            return log.at(std::size_t(slot - 1));
        },
        kHalfDegree);
    EXPECT_EQ(highest, 10);
}

TEST(GraphValues, EveryParameterTakesItsOwnField)
{
    LogRecord r = logRecordAt(11, 6, 1);
    r.analog = {12.5f, 24.25f, 5.0f, 300.0f, 55.5f};
    r.mains = 221.5f;
    r.temperatures = {-20, 40, 1, 2, 3, 4};
    r.ttlInputs = 0xA5;
    r.ttlOutputState = 0x5A;
    r.contacts = 3;
    r.relayState = 0x21;
    r.switchState = 0xF0;
    r.fanSpeeds = {1000, 2000, 3000, 65535};
    r.fanTasks = {10, 20, 30, 100};
    const std::vector<double> expected = {12.5, 24.25, 5.0,   300.0, 55.5, 221.5, -10,  20,   0.5,
                                          1,    1.5,   2,     0xA5,  0x5A, 3,     0x21, 0xF0, 1000,
                                          2000, 3000,  65535, 10,    20,   30,    100};
    ASSERT_EQ(expected.size(), std::size_t(kGraphParameters));
    GraphSelection sel;
    sel.year = 11;
    sel.last = 1;
    for (int start = 0; start < kGraphParameters; start += kGraphs) {
        for (int n = 0; n < kGraphs; ++n) {
            sel.enabled[std::size_t(n)] = start + n < kGraphParameters;
            sel.parameter[std::size_t(n)] = start + n;
        }
        const GraphPoints p = pointsOf(sel, {r});
        for (int n = 0; n < kGraphs && start + n < kGraphParameters; ++n) {
            ASSERT_EQ(p.series[std::size_t(n)].size(), 1u) << start + n;
            EXPECT_DOUBLE_EQ(p.series[std::size_t(n)][0].value, expected[std::size_t(start + n)])
                << "parameter " << start + n;
        }
    }
}

TEST(GraphValues, TemperaturesUseTheirChannelsResolutionAndUnknownCodesDrawNothing)
{
    LogRecord r = logRecordAt(11, 6, 1);
    r.temperatures = {40, 40, 40, 40, 40, -20};
    const TemperatureResolutions res = {0, 1, 2, 3, 7, 0};
    GraphSelection sel;
    sel.year = 11;
    sel.last = 1;
    for (int n = 0; n < 6; ++n) {
        sel.enabled[std::size_t(n)] = true;
        sel.parameter[std::size_t(n)] = 6 + n;
    }
    const GraphPoints p = pointsOf(sel, {r}, res);
    EXPECT_DOUBLE_EQ(p.series[0].at(0).value, 20.0);
    EXPECT_DOUBLE_EQ(p.series[1].at(0).value, 10.0);
    EXPECT_DOUBLE_EQ(p.series[2].at(0).value, 5.0);
    EXPECT_DOUBLE_EQ(p.series[3].at(0).value, 2.5);
    EXPECT_TRUE(p.series[4].empty());
    EXPECT_DOUBLE_EQ(p.series[5].at(0).value, -10.0);
}

TEST(GraphValues, DisabledGraphsAndGraphsWithoutParameterGetNoPoints)
{
    GraphSelection sel = oneGraph(0, 11);
    sel.enabled[1] = true;
    sel.parameter[1] = kGraphParameters; // the empty entry at the end of lists 2..12
    sel.enabled[2] = true;
    sel.parameter[2] = kNoParameter;
    const GraphPoints p = pointsOf(sel, {logRecordAt(11, 1, 1)});
    EXPECT_EQ(p.series[0].size(), 1u);
    for (int n = 1; n < kGraphs; ++n)
        EXPECT_TRUE(p.series[std::size_t(n)].empty()) << n;
}

TEST(GraphYear, NewestRecordByDateDecidesTheProposedYear)
{
    const std::vector<LogRecord> ring = {logRecordAt(24, 12, 30), logRecordAt(25, 1, 2),
                                         logRecordAt(23, 5, 5), logRecordAt(99, 2, 31)};
    auto at = [&](int slot) { return ring.at(std::size_t(slot - 1)); };
    EXPECT_EQ(newestRecordYear(4, at), 25);
    EXPECT_EQ(newestRecordYear(0, at), std::nullopt);
    EXPECT_EQ(newestRecordYear(1, [](int) { return logRecordAt(11, 2, 30); }), std::nullopt);

    // A damaged record dated 2150 is newer than any, yet no year the wizard offers: the
    // proposal would not be the year the wizard shows, and nothing would be drawn.
    const std::vector<LogRecord> damaged = {logRecordAt(25, 1, 2), logRecordAt(150, 6, 1)};
    EXPECT_EQ(newestRecordYear(2, [&](int slot) { return damaged.at(std::size_t(slot - 1)); }), 25);
}

TEST(GraphParameters, ListTextsAndCaptionsUseTheChannelNames)
{
    ChannelNames names;
    names.a4 = "Свет";
    EXPECT_EQ(parameterListText(3, names), "Свет");
    EXPECT_EQ(parameterCaption(5), "VFC_220");
    EXPECT_EQ(parameterListText(6), "Температура_1");
    EXPECT_EQ(parameterCaption(11), "Темп_6");
    EXPECT_EQ(parameterListText(20), "Вент_4_Скорость");
    EXPECT_EQ(parameterCaption(21), "Вент_1_Зад");
    EXPECT_EQ(parameterCaption(kGraphParameters), "");
}

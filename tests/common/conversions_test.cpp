#include "common/conversions.h"

#include <gtest/gtest.h>

#include <limits>

using namespace vardex;

TEST(AnalogConversion, ShownToRawTruncatesTowardZero)
{
    // 1 / 0.3 = 3.33: truncated, not rounded.
    EXPECT_EQ(analogToRaw(1.0L, 0.3f, 0.0f), 3);
    // (11.99 + 1) / 0.1 = 129.9 -> 129.
    EXPECT_EQ(analogToRaw(11.99L, 0.1f, -1.0f), 129);
    // Negative quotients go toward zero too.
    EXPECT_EQ(analogToRaw(-1.7L, 1.0f, 0.0f), -1);
    EXPECT_EQ(analogToRaw(0.5L, 1.0f, 1.0f), 0);
}

TEST(AnalogConversion, ZeroGainStoresZero)
{
    EXPECT_EQ(analogToRaw(1234.0L, 0.0f, 5.0f), 0);
    EXPECT_EQ(analogToRaw(-3.0L, -0.0f, 0.0f), 0);
}

TEST(AnalogConversion, HugeQuotientSaturatesInsteadOfOverflowing)
{
    EXPECT_EQ(analogToRaw(32768.0L, 1e-30f, 0.0f), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(analogToRaw(-32768.0L, 1e-30f, 0.0f), std::numeric_limits<std::int32_t>::min());
}

TEST(AnalogConversion, RawToShownReadsSignedAndKeepsExtendedPrecision)
{
    EXPECT_EQ(formatNumber(analogToShown(3, 0.3f, 0.0f), 2), "0.9");
    EXPECT_EQ(formatNumber(analogToShown(129, 0.1f, -1.0f), 2), "11.9");
    EXPECT_EQ(formatNumber(analogToShown(1023, 1.0f, 0.0f), 2), "1023");
    EXPECT_EQ(formatNumber(analogToShown(-5, 2.0f, 0.5f), 2), "-9.5");
}

TEST(TemperatureConversion, ZeroExtendedNegativesReadBackAsNegative)
{
    EXPECT_EQ(temperatureAlarmSigned(65456), -80);
    EXPECT_EQ(temperatureAlarmSigned(65001), -535);
    EXPECT_EQ(temperatureAlarmSigned(65535), -1);
    // Just below the band and above 16 bits stay as they are.
    EXPECT_EQ(temperatureAlarmSigned(65000), 65000);
    EXPECT_EQ(temperatureAlarmSigned(65536), 65536);
    EXPECT_EQ(temperatureAlarmSigned(-80), -80);
    EXPECT_DOUBLE_EQ(static_cast<double>(temperatureAlarmToShown(65456, 0)), -40.0);
    EXPECT_DOUBLE_EQ(static_cast<double>(temperatureAlarmToShown(-160, 3)), -10.0);
}

TEST(TemperatureConversion, ShownToRawRoundsHalfToEven)
{
    EXPECT_EQ(temperatureToRaw(125.0L, 0), 250);
    EXPECT_EQ(temperatureToRaw(125.0L, 1), 500);
    EXPECT_EQ(temperatureToRaw(-40.0L, 0), -80);
    EXPECT_EQ(temperatureToRaw(-10.0L, 1), -40);
    // 0.25 / 0.5 = 0.5 -> 0; 0.75 / 0.5 = 1.5 -> 2; -0.25 -> -0 -> 0.
    EXPECT_EQ(temperatureToRaw(0.25L, 0), 0);
    EXPECT_EQ(temperatureToRaw(0.75L, 0), 2);
    EXPECT_EQ(temperatureToRaw(-0.25L, 0), 0);
    EXPECT_EQ(temperatureToRaw(-0.75L, 0), -2);
}

TEST(TemperatureConversion, UnknownResolutionReadsAsHalfDegree)
{
    EXPECT_DOUBLE_EQ(static_cast<double>(temperatureScale(7)), 0.5);
    EXPECT_DOUBLE_EQ(static_cast<double>(temperatureScale(-1)), 0.5);
    EXPECT_DOUBLE_EQ(static_cast<double>(temperatureScale(3)), 0.0625);
    EXPECT_EQ(temperatureToRaw(10.0L, 200), 20);
}

TEST(TemperatureConversion, LoopLevelsAreSigned16Bit)
{
    EXPECT_DOUBLE_EQ(static_cast<double>(temperatureLevelToShown(-40, 1)), -10.0);
    EXPECT_DOUBLE_EQ(static_cast<double>(temperatureLevelToShown(-32768, 0)), -16384.0);
}

TEST(Clamp, MaximumFirstThenMinimum)
{
    EXPECT_EQ(clampToRange(200, -40, 125), 125);
    EXPECT_EQ(clampToRange(-41, -40, 125), -40);
    EXPECT_EQ(clampToRange(0.5, 0, 32768), 0.5);
    // A crossed range ends on the minimum, as the editors compare in that order.
    EXPECT_EQ(clampToRange(5, 10, 1), 10);
}

TEST(NumberFormat, NoTrailingZerosAndHalvesAwayFromZero)
{
    EXPECT_EQ(formatNumber(1.0L, 6), "1");
    EXPECT_EQ(formatNumber(0.3f, 6), "0.3");
    EXPECT_EQ(formatNumber(0.0048828125L, 6), "0.004883");
    EXPECT_EQ(formatNumber(0.125L, 2), "0.13");
    EXPECT_EQ(formatNumber(-0.125L, 2), "-0.13");
    EXPECT_EQ(formatNumber(2.5L, 0), "3");
    EXPECT_EQ(formatNumber(-32768.0L, 6), "-32768");
    EXPECT_EQ(formatNumber(-0.001L, 2), "0"); // never "-0"
    EXPECT_EQ(formatNumber(1e-7L, 6), "0");
    EXPECT_EQ(formatNumber(12.5L, 2), "12.5");
}

TEST(NumberFormat, ValuesBeyondTheEditsStillFormat)
{
    EXPECT_EQ(formatNumber(1.5e20L, 6), "150000000000000000000");
    EXPECT_FALSE(formatNumber(std::numeric_limits<long double>::infinity(), 2).isEmpty());
}

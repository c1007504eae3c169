#include "work/value_format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

using namespace vardex::work;

TEST(TemperatureText, ScalesRawBySensorResolution)
{
    EXPECT_EQ(temperatureText(-110, 0), "-55.0");
    EXPECT_EQ(temperatureText(2000, 3), "125.0");
    EXPECT_EQ(temperatureText(100, 1), "25.0");
    EXPECT_EQ(temperatureText(-3, 2), "-0.4"); // -0.375 rounds away from zero
}

TEST(TemperatureText, ExtremeRawReadings)
{
    EXPECT_EQ(temperatureText(std::numeric_limits<std::int16_t>::min(), 0), "-16384.0");
    EXPECT_EQ(temperatureText(std::numeric_limits<std::int16_t>::max(), 3), "2047.9");
}

TEST(TemperatureText, ResolutionOutsideTableShowsStar)
{
    EXPECT_EQ(temperatureText(100, 4), "*");
    EXPECT_EQ(temperatureText(100, 255), "*");
    EXPECT_EQ(temperatureText(100, -1), "*");
    double c = 7;
    EXPECT_FALSE(temperatureCelsius(100, 4, &c));
    EXPECT_EQ(c, 7); // untouched
}

TEST(ValueFormat, NotFiniteShowsStar)
{
    EXPECT_EQ(formatAnalog(std::numeric_limits<double>::quiet_NaN()), "*");
    EXPECT_EQ(formatAnalog(std::numeric_limits<float>::infinity()), "*");
    EXPECT_EQ(formatTemperature(-std::numeric_limits<double>::infinity()), "*");
}

TEST(ValueFormat, OneDecimalAtLeastOneIntegerDigit)
{
    EXPECT_EQ(formatAnalog(0.0), "0.0");
    EXPECT_EQ(formatAnalog(0.5), "0.5");
    EXPECT_EQ(formatAnalog(12.0f), "12.0");
    EXPECT_EQ(formatAnalog(-7.25), "-7.3");
    EXPECT_EQ(formatAnalog(0.25), "0.3");
    EXPECT_EQ(formatAnalog(static_cast<double>(12.34f)), "12.3");
    EXPECT_EQ(formatAnalog(1234567.0), "1234567.0"); // no grouping
}

TEST(ValueFormat, ValueRoundingToZeroCarriesNoSign)
{
    EXPECT_EQ(formatAnalog(-0.04), "0.0");
    EXPECT_EQ(formatAnalog(-0.0), "0.0");
    EXPECT_EQ(formatAnalog(-0.05), "-0.1");
}

TEST(ValueFormat, HugeFloatsStayPlainDecimals)
{
    const QString text = formatAnalog(std::numeric_limits<float>::max());
    EXPECT_TRUE(text.startsWith("3402823466")) << text.toStdString();
    EXPECT_TRUE(text.endsWith(".0"));
    EXPECT_FALSE(text.contains('e'));
    EXPECT_TRUE(formatAnalog(-std::numeric_limits<float>::max()).startsWith("-3402823466"));
}

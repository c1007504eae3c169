#include "link/device_image.h"
#include "loops/level_conversion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace vardex::loops;

TEST(LoopLevelConversion, AnalogTruncatesTowardZero)
{
    // (11.99 + 1) / 0.1 = 129.9: kept as 129, not rounded up.
    EXPECT_EQ(analogRaw(11.99, 0.1f, -1.0f), 129);
    EXPECT_NEAR(analogShown(129, 0.1f, -1.0f), 11.9, 1e-5);
    // Negative quotients truncate toward zero as well.
    EXPECT_EQ(analogRaw(0.0, 0.3f, 1.0f), -3);
}

TEST(LoopLevelConversion, AnalogWithoutGainStoresZero)
{
    EXPECT_EQ(analogRaw(100.0, 0.0f, 5.0f), 0);
    EXPECT_EQ(analogRaw(100.0, std::numeric_limits<float>::quiet_NaN(), 0.0f), 0);
}

TEST(LoopLevelConversion, AnalogSaturatesInsteadOfWrapping)
{
    // 32768 / 0.1 does not fit 16 bits; wrapping would store a negative threshold.
    EXPECT_EQ(analogRaw(32768.0, 0.1f, 0.0f), std::numeric_limits<std::int16_t>::max());
    EXPECT_EQ(analogRaw(-32768.0, 0.1f, 0.0f), std::numeric_limits<std::int16_t>::min());
    EXPECT_EQ(analogRaw(1.0, 1e-30f, 0.0f), std::numeric_limits<std::int16_t>::max());
}

TEST(LoopLevelConversion, AnalogShownReadsTheLevelAsSigned)
{
    EXPECT_NEAR(analogShown(static_cast<std::int16_t>(0xFFFF), 2.0f, 0.0f), -2.0, 1e-9);
}

TEST(LoopLevelConversion, NegativeTemperatureRoundTrips)
{
    const std::int16_t raw = temperatureRaw(-10.0, 1); // 0.25 degrees per unit
    EXPECT_EQ(raw, -40);
    EXPECT_EQ(static_cast<std::uint16_t>(raw), 0xFFD8);
    vardex::link::UprLoopConfig l;
    l.temperLevelHi[0] = raw;
    const auto bytes = l.encode();
    EXPECT_EQ(bytes[42], 0xD8);
    EXPECT_EQ(bytes[43], 0xFF);
    EXPECT_EQ(temperatureShown(vardex::link::UprLoopConfig::decode(bytes).temperLevelHi[0], 1),
              -10.0);
}

TEST(LoopLevelConversion, TemperatureTiesGoToEven)
{
    // 0.25 and 0.75 degrees at 0.5 per unit are exactly half-way.
    EXPECT_EQ(temperatureRaw(0.25, 0), 0);
    EXPECT_EQ(temperatureRaw(0.75, 0), 2);
    EXPECT_EQ(temperatureRaw(-0.25, 0), 0);
    EXPECT_EQ(temperatureRaw(-0.75, 0), -2);
    EXPECT_EQ(temperatureRaw(125.0, 3), 2000);
}

TEST(LoopLevelConversion, UnknownResolutionReadsAsHalfDegree)
{
    // The same rule as the configuration page: a stray code is the sensors' default.
    EXPECT_EQ(temperatureRaw(1.0, 255), 2);
    EXPECT_EQ(temperatureShown(16, 4), 8.0);
}

TEST(LoopLevelConversion, TemperatureSaturatesInsteadOfWrapping)
{
    EXPECT_EQ(temperatureRaw(1e9, 3), std::numeric_limits<std::int16_t>::max());
    EXPECT_EQ(temperatureRaw(-1e9, 3), std::numeric_limits<std::int16_t>::min());
    EXPECT_EQ(temperatureRaw(std::nan(""), 0), 0);
}

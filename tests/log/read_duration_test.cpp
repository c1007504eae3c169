#include "log/read_duration.h"

#include <gtest/gtest.h>

using namespace vardex::log;

// The read's length is a duration: the 12-hour clock of a locale must not make 11 s
// into "12:00:11 AM".
TEST(ReadDuration, IsWrittenOnTheTwentyFourHourClockWithoutZone)
{
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    ASSERT_TRUE(us.timeFormat(QLocale::LongFormat).contains(QStringLiteral("AP")));
    EXPECT_EQ(readDurationText(11'000, us), QStringLiteral("0:00:11"));
    EXPECT_EQ(readDurationText((13 * 60 + 5) * 60'000LL, us), QStringLiteral("13:05:00"));

    const QLocale ru(QLocale::Russian, QLocale::Russia);
    EXPECT_EQ(readDurationText(11'000, ru), QStringLiteral("00:00:11"));
    EXPECT_EQ(readDurationText(-5, ru), QStringLiteral("00:00:00"));
}

#include "work/description_text.h"

#include <gtest/gtest.h>

using namespace vardex;

namespace {

link::DeviceClock clockOf(int y, int mo, int d, int h, int mi, int s)
{
    link::DeviceClock c;
    c.year = static_cast<std::uint8_t>(y);
    c.month = static_cast<std::uint8_t>(mo);
    c.day = static_cast<std::uint8_t>(d);
    c.hour = static_cast<std::uint8_t>(h);
    c.minute = static_cast<std::uint8_t>(mi);
    c.second = static_cast<std::uint8_t>(s);
    return c;
}

} // namespace

TEST(SerialNumberText, LowByteOfEachGroupEachWithAFullStop)
{
    link::Payload reply{};
    reply.fill(0xEE); // bytes around the low bytes must not leak in
    for (int i = 0; i < 10; ++i)
        reply[static_cast<std::size_t>(6 + 4 * i)] = static_cast<std::uint8_t>(i + 1);
    EXPECT_EQ(work::serialNumberText(reply), QStringLiteral("1.2.3.4.5.6.7.8.9.10."));
}

TEST(SerialNumberText, AllZeroAndFullBytes)
{
    link::Payload reply{};
    EXPECT_EQ(work::serialNumberText(reply), QStringLiteral("0.0.0.0.0.0.0.0.0.0."));
    reply[42] = 255; // the last group
    EXPECT_TRUE(work::serialNumberText(reply).endsWith(QStringLiteral(".0.255.")));
}

TEST(DescriptionCaption, DurationsStackNewestFirst)
{
    const QString described = work::identityCaption(QStringLiteral("Vardex 3.19"),
                                                    QStringLiteral("1.2.3.4.5.6.7.8.9.10."));
    EXPECT_EQ(work::withDuration(2381, described),
              QStringLiteral("2381 Vardex 3.19  S/N=1.2.3.4.5.6.7.8.9.10."));
    EXPECT_EQ(work::withDuration(7, work::withDuration(5012, QStringLiteral("Vardex 3.19"))),
              QStringLiteral("7 5012 Vardex 3.19"));
}

TEST(ClockText, TwoDigitFieldsDayFirst)
{
    EXPECT_EQ(work::clockText(clockOf(26, 3, 7, 9, 5, 0)), QStringLiteral("07-03-26 09:05:00"));
    EXPECT_EQ(work::clockText(clockOf(0, 1, 1, 0, 0, 0)), QStringLiteral("01-01-00 00:00:00"));
    EXPECT_EQ(work::clockText(clockOf(255, 12, 31, 23, 59, 59)),
              QStringLiteral("31-12-55 23:59:59")); // 2255
}

TEST(ClockText, LeapDaysFollowTheCalendar)
{
    EXPECT_TRUE(work::clockText(clockOf(24, 2, 29, 12, 0, 0)).has_value());
    EXPECT_FALSE(work::clockText(clockOf(25, 2, 29, 12, 0, 0)).has_value());
    EXPECT_TRUE(work::clockText(clockOf(0, 2, 29, 12, 0, 0)).has_value());    // 2000
    EXPECT_FALSE(work::clockText(clockOf(100, 2, 29, 12, 0, 0)).has_value()); // 2100
}

TEST(ClockText, ImpossibleFieldsFormNoText)
{
    EXPECT_FALSE(work::clockText(clockOf(26, 13, 7, 9, 5, 0)));
    EXPECT_FALSE(work::clockText(clockOf(26, 0, 7, 9, 5, 0)));
    EXPECT_FALSE(work::clockText(clockOf(26, 4, 31, 9, 5, 0)));
    EXPECT_FALSE(work::clockText(clockOf(26, 3, 0, 9, 5, 0)));
    EXPECT_FALSE(work::clockText(clockOf(26, 3, 7, 24, 5, 0)));
    EXPECT_FALSE(work::clockText(clockOf(26, 3, 7, 9, 60, 0)));
    EXPECT_FALSE(work::clockText(clockOf(26, 3, 7, 9, 5, 60)));
    EXPECT_FALSE(work::clockText(clockOf(255, 255, 255, 255, 255, 255)));
}

TEST(ClockText, MessageNamesTheRawValues)
{
    const QString m = work::invalidClockMessage(clockOf(26, 13, 7, 9, 5, 0));
    EXPECT_TRUE(m.startsWith(QStringLiteral("Неверные дата или время контроллера: ")));
    EXPECT_TRUE(m.contains(QStringLiteral("месяц 13"))) << m.toStdString();
    EXPECT_TRUE(m.contains(QStringLiteral("год 26")));
}

TEST(ClockSetRequest, LocalTimeWithoutMilliseconds)
{
    const QDateTime local(QDate(2026, 3, 5), QTime(14, 7, 9, 873));
    const link::Payload p = work::clockSetRequest(local);
    const std::uint8_t expected[] = {5, 0, 0, 0, 0, 6, 26, 3, 5, 14, 7, 9, 0};
    for (std::size_t i = 0; i < sizeof expected; ++i)
        EXPECT_EQ(p[i], expected[i]) << i;
}

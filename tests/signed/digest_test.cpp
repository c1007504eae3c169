#include "signed/digest.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QCryptographicHash>

using namespace vardex::sign;

namespace {

QByteArray qtSha1(const DigestMessage &m)
{
    return QCryptographicHash::hash(
        QByteArray(reinterpret_cast<const char *>(m.data()), static_cast<int>(m.size())),
        QCryptographicHash::Sha1);
}

QByteArray raw(const Sha1Digest &d)
{
    return QByteArray(reinterpret_cast<const char *>(d.data()), static_cast<int>(d.size()));
}

GeneratedKey countingKey()
{
    GeneratedKey key{};
    for (std::size_t i = 0; i < key.size(); ++i)
        key[i] = static_cast<std::uint8_t>(0xF0 + i);
    return key;
}

} // namespace

TEST(DigestMessage, OpenKeyThenGeneratedKey)
{
    const DigestMessage m = signedCommandMessage({}, {});
    EXPECT_EQ(m, DigestMessage{});
    EXPECT_EQ(raw(signedCommandDigest({}, {})),
              QCryptographicHash::hash(QByteArray(20, '\0'), QCryptographicHash::Sha1));

    const DigestMessage keyed = signedCommandMessage({1, 2, 3, 4}, countingKey());
    EXPECT_EQ(keyed[3], 4);
    EXPECT_EQ(keyed[4], 0xF0);
    EXPECT_EQ(keyed[19], 0xFF);
    EXPECT_EQ(raw(signedCommandDigest({1, 2, 3, 4}, countingKey())), qtSha1(keyed));
}

TEST(DigestMessage, TimedTestPrefixIsZeroHourMinuteSecond)
{
    const DigestMessage m = timedTestMessage({23, 59, 50}, countingKey());
    EXPECT_EQ(m[0], 0);
    EXPECT_EQ(m[1], 23);
    EXPECT_EQ(m[2], 59);
    EXPECT_EQ(m[3], 50);
    EXPECT_EQ(m[4], 0xF0);
    EXPECT_EQ(raw(timedTestDigest({23, 59, 50}, countingKey())), qtSha1(m));
}

TEST(TimedTestTime, RoundsSecondsDownToTensAndBorrowsAcrossTheHour)
{
    const TimeOfDay now{12, 0, 5};
    EXPECT_EQ(timedTestTime(now, -30), (TimeOfDay{11, 59, 30}));
    const TimeOfDay candidates[] = {
        {11, 59, 40}, {11, 59, 50}, {12, 0, 0}, {12, 0, 10}, {12, 0, 20}};
    const int offsets[] = {-20, -10, 0, 10, 20};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(timedTestTime(now, offsets[i]), candidates[i]) << offsets[i];
}

TEST(TimedTestTime, CarriesPastMidnight)
{
    EXPECT_EQ(timedTestTime({23, 59, 55}, 20), (TimeOfDay{0, 0, 10}));
    EXPECT_EQ(timedTestTime({0, 0, 9}, -30), (TimeOfDay{23, 59, 30}));
    EXPECT_EQ(timedTestTime({10, 30, 59}, 30), (TimeOfDay{10, 31, 20}));
}

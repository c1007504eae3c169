#include "link/protocol.h"
#include "service/timed_hash_test.h"
#include "support/recording_context.h"

#include <QCryptographicHash>

#include <gtest/gtest.h>

using vardex::service::planTimedTest;
using vardex::service::timedTestTimes;
using vardex::service::timeText;
using vardex::sign::GeneratedKey;
using vardex::sign::Sha1Digest;
using vardex::sign::TimeOfDay;

namespace {

GeneratedKey sampleKey()
{
    GeneratedKey key{};
    for (std::size_t i = 0; i < key.size(); ++i)
        key[i] = static_cast<std::uint8_t>(0xA0 + i * 7);
    return key;
}

// The digest by Qt's SHA-1 of (0, h, m, s, key), independent of ours.
Sha1Digest qtDigest(int h, int m, int s, const GeneratedKey &key)
{
    QByteArray message;
    message.append(char(0)).append(char(h)).append(char(m)).append(char(s));
    message.append(reinterpret_cast<const char *>(key.data()), qsizetype(key.size()));
    const QByteArray d = QCryptographicHash::hash(message, QCryptographicHash::Sha1);
    Sha1Digest out{};
    std::copy(d.begin(), d.end(), out.begin());
    return out;
}

} // namespace

TEST(TimedHashTest, MinusThirtyAtNoonPastFiveBorrowsAnHourAndMarksNothing)
{
    const auto key = sampleKey();
    const auto plan = planTimedTest({12, 0, 5}, -30, key);
    EXPECT_EQ(plan.roundedSecond, 0);
    EXPECT_EQ(plan.chosen, (TimeOfDay{11, 59, 30}));
    EXPECT_EQ(plan.sent, qtDigest(11, 59, 30, key));
    EXPECT_EQ(plan.markedCandidate, -1);
    const TimeOfDay expected[] = {{11, 59, 40}, {11, 59, 50}, {12, 0, 0}, {12, 0, 10}, {12, 0, 20}};
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(plan.candidates[i].time, expected[i]) << i;
        EXPECT_EQ(plan.candidates[i].digest,
                  qtDigest(expected[i].hour, expected[i].minute, expected[i].second, key))
            << i;
    }
    EXPECT_EQ(timedTestTimes(plan), QStringLiteral("12:00:05  11:59:30"));
}

TEST(TimedHashTest, PlusTwentyBeforeMidnightCarriesIntoTheNextDayAndMarksTheLast)
{
    const auto key = sampleKey();
    const auto plan = planTimedTest({23, 59, 55}, 20, key);
    EXPECT_EQ(plan.roundedSecond, 50);
    EXPECT_EQ(plan.chosen, (TimeOfDay{0, 0, 10}));
    EXPECT_EQ(plan.sent, qtDigest(0, 0, 10, key));
    EXPECT_EQ(plan.markedCandidate, 4);
    EXPECT_EQ(plan.candidates[4].digest, plan.sent);
    EXPECT_EQ(timeText(plan.candidates[0].time), QStringLiteral("23:59:30"));
    EXPECT_EQ(timedTestTimes(plan), QStringLiteral("23:59:55  00:00:10"));
}

TEST(TimedHashTest, EachInnerOffsetMarksItsOwnCandidate)
{
    const int offsets[] = {-20, -10, 0, 10, 20};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(planTimedTest({8, 30, 41}, offsets[i], {}).markedCandidate, i);
    EXPECT_EQ(planTimedTest({8, 30, 41}, 30, {}).markedCandidate, -1);
}

TEST(TimedHashTest, SendsTheChosenDigestAndLeavesTheLastCandidateInTheImage)
{
    vardex::test::RecordingContext ctx;
    ctx.replies = false;
    const auto plan = planTimedTest({12, 0, 5}, -30, sampleKey());
    EXPECT_FALSE(sendTimedTest(ctx, plan));
    ASSERT_EQ(ctx.sent.size(), 1u);
    EXPECT_EQ(ctx.sent[0], vardex::link::protocol::sendHash(plan.sent));
    EXPECT_EQ(ctx.waits, (std::vector<int>{15000}));
    EXPECT_EQ(ctx.image().hashDigest, plan.candidates[4].digest);
}

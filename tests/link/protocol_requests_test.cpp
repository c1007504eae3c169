#include "link/protocol.h"

#include <gtest/gtest.h>

#include <vector>

using namespace vardex::link;
namespace proto = vardex::link::protocol;

namespace {

// Every byte from `from` on must be zero: requests never carry leftovers.
void expectZeroFrom(const Payload &p, std::size_t from)
{
    for (std::size_t i = from; i < p.size(); ++i)
        EXPECT_EQ(p[i], 0) << "position " << i;
}

} // namespace

TEST(ClockRequest, SendsYearSince2000AndTheTime)
{
    const Payload p = proto::writeClock(2026, 3, 5, 14, 7, 9);
    EXPECT_EQ(p[pos::Code], 5);
    const std::vector<int> sent(p.begin() + 5, p.begin() + 12);
    EXPECT_EQ(sent, (std::vector<int>{6, 26, 3, 5, 14, 7, 9}));
    expectZeroFrom(p, 12);
}

TEST(ClockRequest, YearsUpTo2000TravelAsTheirLowByte)
{
    EXPECT_EQ(proto::writeClock(1999, 12, 31, 23, 59, 59)[6], 1999 & 0xFF);
    EXPECT_EQ(proto::writeClock(2001, 1, 1, 0, 0, 0)[6], 1);
}

TEST(OutputTaskRequest, PacksMasksAndFanTasks)
{
    OutputTask task;
    task.relaysTask = 0x01 | 0x04;   // relays 1 and 3
    task.switchesTask = 0x02 | 0x10; // high-side 2, low-side 1
    task.fanTask = {100, 50, 0, 0};
    const Payload p = proto::writeOutputTask(task);
    EXPECT_EQ(p[pos::Code], 3);
    EXPECT_EQ(p[pos::Len], 8);
    const std::vector<int> sent(p.begin() + 6, p.begin() + 13);
    EXPECT_EQ(sent, (std::vector<int>{0, 0x12, 0x05, 100, 50, 0, 0}));
    expectZeroFrom(p, 13);
    EXPECT_EQ(proto::writeOutputTask(0, 0x12, 0x05, {100, 50, 0, 0}), p);
}

TEST(SerialSendRequest, RefusesMoreThanTheDataAreaInsteadOfCutting)
{
    const std::vector<std::uint8_t> bytes(59, 0x55);
    const auto r = proto::serialSend(bytes);
    EXPECT_FALSE(r);
    EXPECT_FALSE(r.error.isEmpty());
}

TEST(MemoryRequest, ReadSplitsAddressIntoSubAndArg1)
{
    const Payload p = proto::memoryRead(7168, 58);
    const std::vector<int> head(p.begin(), p.begin() + 6);
    EXPECT_EQ(head, (std::vector<int>{32, 0x00, 0x1C, 0, 0, 58}));
    expectZeroFrom(p, 6);
}

TEST(MemoryRequest, ReadClampsAddressAndCount)
{
    const Payload p = proto::memoryRead(9000, 200);
    EXPECT_EQ(p[pos::Sub] | (p[pos::Arg1] << 8), 8191);
    EXPECT_EQ(p[pos::Len], 58);
}

TEST(MemoryRequest, WriteRefusesCountsOutside1To58)
{
    EXPECT_FALSE(proto::memoryWrite(0, {}));
    EXPECT_FALSE(proto::memoryWrite(0, std::vector<std::uint8_t>(59, 1)));

    const auto r = proto::memoryWrite(9000, std::vector<std::uint8_t>(58, 0x7E));
    ASSERT_TRUE(r);
    const Payload &p = *r.payload;
    EXPECT_EQ(p[pos::Code], 33);
    EXPECT_EQ(p[pos::Sub] | (p[pos::Arg1] << 8), 8191);
    EXPECT_EQ(p[pos::Len], 58);
    EXPECT_EQ(p[63], 0x7E);
}

TEST(SignedRequests, SendHashCarriesTheDigest)
{
    std::array<std::uint8_t, 20> digest{};
    for (std::size_t i = 0; i < digest.size(); ++i)
        digest[i] = static_cast<std::uint8_t>(0xE0 + i);
    const Payload p = proto::sendHash(digest);
    EXPECT_EQ(p[pos::Code], 15);
    EXPECT_EQ(p[pos::Sub], 0);
    EXPECT_EQ(p[pos::Len], 20);
    EXPECT_TRUE(std::equal(digest.begin(), digest.end(), p.begin() + 6));
    expectZeroFrom(p, 26);
}

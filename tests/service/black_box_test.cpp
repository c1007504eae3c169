#include "service/black_box.h"

#include <gtest/gtest.h>

#include <array>

using namespace vardex;

namespace {

std::array<std::uint8_t, service::kBlackBoxSize> sampleBlock()
{
    std::array<std::uint8_t, service::kBlackBoxSize> b{};
    auto put = [&b](std::size_t at, std::uint32_t v, int size) {
        for (int i = 0; i < size; ++i)
            b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    auto stamp = [&b](std::size_t at, std::array<std::uint8_t, 6> s) {
        for (std::size_t i = 0; i < 6; ++i)
            b[at + i] = s[i];
    };
    put(0, 12, 2);
    stamp(2, {3, 5, 11, 14, 7, 9});
    put(8, 0xFFFF, 2);
    stamp(10, {31, 12, 99, 23, 59, 59});
    put(16, 258, 2);
    stamp(18, {0, 0, 0, 0, 0, 0});
    put(24, 0x80000001u, 4);
    put(28, 70000, 4);
    put(32, 5, 4);
    put(36, 7, 4);
    put(40, 0xFFFFFFFFu, 4);
    stamp(44, {1, 2, 3, 4, 5, 6});
    for (std::size_t i = 50; i < b.size(); ++i)
        b[i] = 0xEE; // not shown
    return b;
}

} // namespace

TEST(BlackBoxCodec, EveryFieldFromItsOffsetUnsignedAndTheBatteryTimesHalved)
{
    const auto block = sampleBlock();
    const service::BlackBoxTexts t = service::blackBoxTexts(service::decodeBlackBox(block));
    EXPECT_EQ(t.progUpdate, QStringLiteral("12 3-5-11 14:7:9"));
    EXPECT_EQ(t.configUpdate, QStringLiteral("65535 31-12-99 23:59:59"));
    EXPECT_EQ(t.uprUpdate, QStringLiteral("258 0-0-0 0:0:0"));
    EXPECT_EQ(t.powerOn, QStringLiteral("2147483649"));
    EXPECT_EQ(t.batOn, QStringLiteral("70000 1-2-3 4:5:6"));
    EXPECT_EQ(t.batOff, QStringLiteral("5"));
    EXPECT_EQ(t.batWorkLast, QStringLiteral("3"));
    EXPECT_EQ(t.batWorkSum, QStringLiteral("2147483647"));
}

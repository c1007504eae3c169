#include "work/hash_hints.h"

#include <gtest/gtest.h>

#include <array>

using namespace vardex::work;

TEST(HashHints, UpperCaseTwoDigitsPerByte)
{
    const std::array<std::uint8_t, 4> key = {0x0A, 0xFF, 0x00, 0x9c};
    EXPECT_EQ(hexUpper(key), "0AFF009C");
    EXPECT_EQ(openKeyHint(key), "Открытый ключ 0AFF009C");
}

TEST(HashHints, ZeroedBuffersShowAllZeros)
{
    const std::array<std::uint8_t, 16> key{};
    EXPECT_EQ(generatedKeyHint(key), "Генерация ключа " + QString(32, '0'));
    const std::array<std::uint8_t, 20> reply{};
    EXPECT_EQ(hashReplyHint(reply), "Выдать HASH команду " + QString(40, '0'));
    EXPECT_EQ(hexUpper({}), "");
}

#include "service/serial_readout.h"
#include "support/recording_context.h"

#include <gtest/gtest.h>

using vardex::service::serialByteText;

TEST(SerialReadout, ByteIsTwoUpperCaseHexDigits)
{
    EXPECT_EQ(serialByteText(std::uint8_t{10}), QStringLiteral("0A"));
    EXPECT_EQ(serialByteText(std::uint8_t{0}), QStringLiteral("00"));
    EXPECT_EQ(serialByteText(std::uint8_t{0xBE}), QStringLiteral("BE"));
    EXPECT_EQ(serialByteText(std::nullopt), QStringLiteral("--"));
}

TEST(SerialReadout, NoReplyGivesNoByteEvenWithOneInTheImage)
{
    vardex::test::RecordingContext ctx;
    ctx.image().serialByte = 0x42;
    ctx.replies = false;
    EXPECT_FALSE(vardex::service::readSerialByte(ctx).has_value());
    EXPECT_EQ(ctx.waits, (std::vector<int>{1000}));
    ctx.replies = true;
    EXPECT_EQ(vardex::service::readSerialByte(ctx), std::optional<std::uint8_t>(0x42));
}

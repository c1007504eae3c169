#include "display/commands.h"
#include "display/display_transfer.h"
#include "display/module_model.h"
#include "display/script_buffer.h"
#include "display/text_codec.h"
#include "hex.h"
#include "support/firmware_context.h"

#include <gtest/gtest.h>

#include <random>

using namespace vardex;
using namespace vardex::display;
using test::hexBytes;

namespace {

constexpr int kAll = ModuleModel::kWidth * ModuleModel::kHeight;

// A page's link on a simulated controller, with the page's own preview.
struct Bench {
    test::FirmwareContext ctx;
    ScriptBuffer script;
    ModuleModel preview;
    DisplayLink link{ctx, script, &preview};

    const ModuleModel &module() const { return ctx.firmware.displayModule(); }
};

int rowLit(const ModuleModel &m, int mode, int line)
{
    const auto row = ModuleModel::rowsOf(mode)[static_cast<std::size_t>(line - 1)];
    return m.litPixels(0, row.y, ModuleModel::kWidth, row.height);
}

} // namespace

TEST(ModulePreview, TestOneLightsTheScreenThenDarkensIt)
{
    Bench b;
    int bitmaps = 0;
    int litAfterFirstPass = -1;
    b.ctx.onSend = [&](const link::Payload &) {
        if (++bitmaps == 64)
            litAfterFirstPass = b.module().litPixels();
    };
    ASSERT_TRUE(test1(b.link).ok());
    EXPECT_EQ(bitmaps, 128);
    EXPECT_EQ(litAfterFirstPass, kAll);
    EXPECT_EQ(b.module().litPixels(), 0);
    EXPECT_EQ(b.preview, b.module());
}

TEST(ModulePreview, StaticLineShowsItsTextInRowOne)
{
    Bench b;
    ASSERT_TRUE(staticLine(b.link, 1, QStringLiteral("Строка 1")).ok());
    const int mode = ModuleModel::kInitialMode;
    EXPECT_GT(rowLit(b.module(), mode, 1), 100);
    EXPECT_EQ(rowLit(b.module(), mode, 2), 0);
    EXPECT_EQ(b.module().litPixels(), rowLit(b.module(), mode, 1));
    // Eight characters, six of them full-width: the text reaches past x = 150 ...
    EXPECT_GT(b.module().litPixels(150, 0, 20, 32), 0);
    // ... and a different text draws differently.
    Bench other;
    ASSERT_TRUE(staticLine(other.link, 1, QStringLiteral("Строка 2")).ok());
    EXPECT_FALSE(other.module() == b.module());

    ASSERT_TRUE(clearLine(b.link, 1).ok());
    EXPECT_EQ(b.module().litPixels(), 0);
    EXPECT_EQ(b.preview, b.module());
}

TEST(ModulePreview, CommandsSplitAnywhereReadTheSame)
{
    std::vector<std::uint8_t> stream;
    auto add = [&](const Command &c) { stream.insert(stream.end(), c.begin(), c.end()); };
    add(screenMode(5));
    add(cursorTo(2, 3));
    add(plain(toModuleCodes(QStringLiteral("Ab Жж"))));
    add(attribute(Attribute::Reverse));
    add(plain(hexBytes("31 32")));
    add(bitmap(200, 40, 16, 16, std::vector<std::uint8_t>(32, 0xA5)));
    add(userCharacter(userCharacterRows()));
    add(cursorTo(4, 1));
    add(plain(hexBytes("EC 9D 81 9A 7F")));
    add(singleScroll(5, 1, 0, 5, hexBytes("50 51 52 53 54")));

    ModuleModel whole;
    whole.feed(stream);
    ModuleModel bytewise;
    for (std::uint8_t b : stream)
        bytewise.feed(std::span(&b, 1));
    EXPECT_EQ(whole, bytewise);
    EXPECT_EQ(whole.screenMode(), 5);
    // The bitmap's pattern lands where it was put.
    EXPECT_TRUE(whole.pixel(200, 40));
    EXPECT_FALSE(whole.pixel(201, 40));
    // Row 4 holds the user character, the star and the block.
    EXPECT_GT(rowLit(whole, 5, 4), 16 * 16 / 4);
}

TEST(ModulePreview, GarbageIsDroppedAndReadingGoesOn)
{
    ModuleModel m;
    // An unknown sequence, a bitmap with a four-digit number, stray control bytes.
    m.feed(hexBytes("1B 5C 3F 4C 5A 1B 5C 3F 4C 47 31 32 33 34 00 07 0D 1B 5B 39 39 39 39 39 39"));
    EXPECT_EQ(m.litPixels(), 0);
    m.feed(dimming(2));
    EXPECT_EQ(m.dimming(), 2);
    EXPECT_EQ(m.brightnessPercent(), 45);
    // A bitmap partly off the screen is clipped, not written elsewhere.
    m.feed(bitmap(250, 60, 16, 16, std::vector<std::uint8_t>(32, 0xFF)));
    EXPECT_EQ(m.litPixels(), 6 * 4);
    m.feed(reset());
    EXPECT_EQ(m.litPixels(), 0);
    EXPECT_EQ(m.dimming(), 5);
}

TEST(ModulePreview, ScrollTextStandsWithAMarkerAndClears)
{
    Bench b;
    ASSERT_TRUE(scrollLine(b.link, 2, QStringLiteral("Бегущая строка"), 1).ok());
    EXPECT_GT(rowLit(b.module(), 3, 2), 0);
    // The marker at the right end of the row.
    const auto row = ModuleModel::rowsOf(3)[1];
    EXPECT_TRUE(b.module().pixel(ModuleModel::kWidth - 1, row.y + row.height / 2));
    ASSERT_TRUE(clearSingleScroll(b.link, 2).ok());
    EXPECT_EQ(rowLit(b.module(), 3, 2), 0);
}

TEST(ModulePreview, AnyByteStreamIsSafe)
{
    // The simulated controller feeds whatever arrives on its serial line.
    std::minstd_rand random(7);
    ModuleModel m;
    std::vector<std::uint8_t> chunk(58);
    for (int i = 0; i < 4000; ++i) {
        for (auto &b : chunk) {
            // Mostly command bytes, so that long sequences and payloads get exercised.
            const auto r = random();
            b = (r & 3) == 0
                    ? static_cast<std::uint8_t>(random())
                    : static_cast<std::uint8_t>("\x1B\\?LGHMWS;0123456789[JKmHD\x84\xEC"[r % 27]);
        }
        m.feed(chunk);
    }
    m.reset();
    EXPECT_EQ(m.litPixels(), 0);
    m.feed(bitmap(0, 0, 8, 8, std::vector<std::uint8_t>(8, 0xFF)));
    EXPECT_EQ(m.litPixels(), 64);
}

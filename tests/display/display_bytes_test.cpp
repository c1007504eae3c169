#include "display/commands.h"
#include "display/picture.h"
#include "display/script_buffer.h"
#include "display/text_codec.h"
#include "hex.h"

#include <gtest/gtest.h>

using namespace vardex;
using namespace vardex::display;
using test::hexBytes;
using test::repeated;

TEST(DisplayCommands, DigitParametersAreClamped)
{
    EXPECT_EQ(dimming(4), hexBytes("1B 5C 3F 4C 44 34"));
    EXPECT_EQ(dimming(9), hexBytes("1B 5C 3F 4C 44 35"));
    EXPECT_EQ(dimming(-1), hexBytes("1B 5C 3F 4C 44 30"));
    EXPECT_EQ(cursorTo(2, 1), hexBytes("1B 5B 32 3B 31 48"));
    EXPECT_EQ(attribute(Attribute::Reverse), hexBytes("1B 5B 37 6D"));
    EXPECT_EQ(attribute(Attribute::Blink), hexBytes("1B 5B 35 6D"));
    // Single-line scroll: mode 1..7, line 1..8, speed 0..3.
    EXPECT_EQ(singleScroll(0, 0, 4, 0, {}), hexBytes("1B 5C 3F 4C 48 31 3B 31 3B 33 3B 00 3B"));
    EXPECT_EQ(singleScroll(8, 9, 2, 7, {}), hexBytes("1B 5C 3F 4C 48 37 3B 38 3B 32 3B 07 3B"));
    // Group scroll: mode 0 sends 1, speed 1..2.
    EXPECT_EQ(groupScrollText(0, 2, 0, 0, {}), hexBytes("1B 5C 3F 4C 4D 31 3B 32 3B 31 3B 00 3B"));
    EXPECT_EQ(groupScrollText(5, 4, 3, 0, {}), hexBytes("1B 5C 3F 4C 4D 35 3B 34 3B 32 3B 00 3B"));
}

TEST(DisplayCommands, ScrollHeadersCarryAtMost42TextBytes)
{
    const auto text = repeated(50, 'x');
    const Command c = singleScroll(3, 1, 0, 50, text);
    ASSERT_EQ(c.size(), 13u + 42u);
    EXPECT_EQ(c[11], 50); // T is the whole length, not what this command carries
    EXPECT_LE(groupScrollText(3, 1, 1, 50, text).size(), std::size_t(kMaxCommand));
}

TEST(DisplayCommands, BitmapAndUserCharacter)
{
    const Command c = bitmap(8, 32, 32, 8, repeated(32, 0xFF));
    ASSERT_EQ(c.size(), 47u);
    const auto header = hexBytes("1B 5C 3F 4C 47 38 3B 33 32 3B 33 32 3B 38 3B");
    EXPECT_TRUE(std::equal(header.begin(), header.end(), c.begin()));
    EXPECT_EQ(bitmap(255, 0, 16, 16, {}),
              hexBytes("1B 5C 3F 4C 47 32 35 35 3B 30 3B 31 36 3B 31 36 3B"));

    const Command u = userCharacter(userCharacterRows());
    ASSERT_EQ(u.size(), 12u + 32u);
    EXPECT_EQ(Command(u.begin(), u.begin() + 12), hexBytes("1B 5C 3F 4C 57 33 3B 31 3B EC 9D 3B"));
    EXPECT_EQ(Command(u.begin() + 12, u.begin() + 16), hexBytes("00 00 3F FE"));
    EXPECT_EQ(Command(u.end() - 4, u.end()), hexBytes("FF FF 00 00"));
}

TEST(DisplayText, CyrillicTakesTwoBytesEverythingElseOne)
{
    EXPECT_EQ(toModuleCodes(QStringLiteral("Яд")), hexBytes("84 60 84 74"));
    EXPECT_EQ(toModuleCodes(QStringLiteral("A1")), hexBytes("41 31"));
    EXPECT_EQ(toModuleCodes(QStringLiteral("ЁёЕеЖж")),
              hexBytes("84 46 84 76 84 45 84 75 84 47 84 77"));
    // The small alphabet skips 7F between н and о.
    EXPECT_EQ(toModuleCodes(QStringLiteral("нояА")), hexBytes("84 7E 84 80 84 91 84 40"));
    // Code page characters below A1 stay one byte; above it, non-letters give 84 00.
    EXPECT_EQ(toModuleCodes(QStringLiteral("€\u00A0№©")), hexBytes("88 A0 84 00 84 00"));
    // Characters the code page lacks become "?", one per character, surrogates too.
    EXPECT_EQ(toModuleCodes(QStringLiteral("中") + QString::fromUcs4(U"\U0001F600") +
                            QStringLiteral("Ω")),
              hexBytes("3F 3F 3F"));
}

TEST(DisplayText, EveryDisplayCodeNamesItsLetterBack)
{
    int letters = 0;
    for (char32_t c = 0x0400; c < 0x0460; ++c) {
        const auto codes = toModuleCodes(QString::fromUcs4(&c, 1));
        if (codes.size() == 2 && codes[1] != 0) {
            ++letters;
            EXPECT_EQ(letterOfDisplayCode(codes[1]), c) << std::hex << unsigned(c);
        }
    }
    EXPECT_EQ(letters, 66);
    EXPECT_EQ(letterOfDisplayCode(0x7F), 0u);
    EXPECT_EQ(letterOfDisplayCode(0x00), 0u);
}

TEST(DisplayScriptBuffer, EntriesStartAtMultiplesOfEight)
{
    ScriptBuffer b;
    EXPECT_EQ(b.caption(), QStringLiteral("Зап. 1"));
    const auto six = hexBytes("1B 5C 3F 4C 44 34");
    ASSERT_TRUE(b.append(six));
    EXPECT_EQ(b.position(), 9);
    EXPECT_EQ(std::vector<std::uint8_t>(b.bytes().begin(), b.bytes().begin() + 8),
              hexBytes("FE 06 1B 5C 3F 4C 44 34"));
    ASSERT_TRUE(b.append(repeated(13, 0x41)));
    EXPECT_EQ(b.position(), 25);
    EXPECT_EQ(b.bytes()[8], 0xFE);
    EXPECT_EQ(b.bytes()[9], 13);
    EXPECT_EQ(b.caption(), QStringLiteral("Зап. 25"));
    b.clear();
    EXPECT_EQ(b.position(), 1);
    EXPECT_TRUE(std::all_of(b.bytes().begin(), b.bytes().end(), [](auto x) { return x == 0; }));
}

TEST(DisplayScriptBuffer, WrapsAtTheTop)
{
    ScriptBuffer b;
    while (b.position() != 241)
        ASSERT_TRUE(b.append(repeated(6, 0x11))); // 1, 9, 17, ... 241
    ASSERT_TRUE(b.append(repeated(10, 0x22)));
    EXPECT_EQ(b.position(), 253); // 257 would pass 255
    EXPECT_EQ(b.bytes()[240], 0xFE);
    EXPECT_EQ(b.bytes()[251], 0x22);
    EXPECT_EQ(b.bytes()[252], 0);
    ASSERT_TRUE(b.append(repeated(4, 0x33)));
    EXPECT_EQ(b.bytes()[0], 0xFE);
    EXPECT_EQ(b.bytes()[1], 4);
    EXPECT_EQ(b.position(), 9);
}

TEST(DisplayScriptBuffer, ACommandThatWouldOverrunStartsANewPass)
{
    ScriptBuffer b;
    while (b.position() != 233)
        ASSERT_TRUE(b.append(repeated(6, 0x11)));
    const auto before = b.bytes();
    // 233 + 30 runs past offset 255: written from P = 1 instead, nothing beyond.
    ASSERT_TRUE(b.append(repeated(30, 0x44)));
    EXPECT_EQ(b.bytes()[0], 0xFE);
    EXPECT_EQ(b.bytes()[1], 30);
    EXPECT_EQ(b.bytes()[31], 0x44);
    EXPECT_EQ(b.position(), 33);
    EXPECT_TRUE(std::equal(before.begin() + 32, before.end(), b.bytes().begin() + 32));
    // The largest entry that still fits from 241 ends exactly at 255.
    ScriptBuffer c;
    while (c.position() != 241)
        ASSERT_TRUE(c.append(repeated(6, 0x11)));
    ASSERT_TRUE(c.append(repeated(14, 0x55)));
    EXPECT_EQ(c.bytes()[240], 0xFE);
    EXPECT_EQ(c.bytes()[255], 0x55);
    // E = 257 is past the buffer: the caption never shows a position outside it.
    EXPECT_EQ(c.position(), 255);
    EXPECT_EQ(c.caption(), QStringLiteral("Зап. 255"));
    ASSERT_TRUE(c.append(repeated(3, 0x66)));
    EXPECT_EQ(c.bytes()[0], 0xFE);
}

TEST(DisplayPicture, TopLeftCell)
{
    Picture p;
    p.toggle(0, 0);
    QByteArray expected("\x10\x10\x31", 3);
    expected.append(255, '\x30');
    EXPECT_EQ(encodeFgd(p), expected);
    const auto bytes = p.bitmapBytes();
    EXPECT_EQ(bytes[0], 0x80);
    EXPECT_TRUE(std::all_of(bytes.begin() + 1, bytes.end(), [](auto b) { return b == 0; }));
}

TEST(DisplayPicture, FilesGoColumnByColumnAndBitsLeftToRight)
{
    Picture p;
    p.setLit(1, 0, true);  // column 1, row 0
    p.setLit(15, 2, true); // right edge, row 2
    p.setLit(8, 15, true);
    const QByteArray f = encodeFgd(p);
    EXPECT_EQ(f[2 + 16], '1');
    EXPECT_EQ(f[2 + 15 * 16 + 2], '1');
    const auto b = p.bitmapBytes();
    EXPECT_EQ(b[0], 0x40);
    EXPECT_EQ(b[5], 0x01);
    EXPECT_EQ(b[31], 0x80);
    const FgdDecode d = decodeFgd(f);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.picture, p);
}

TEST(DisplayPicture, BadFilesAreRefused)
{
    QByteArray zero("\x00\x10", 2);
    zero.append(256, '0');
    EXPECT_FALSE(decodeFgd(zero).ok);
    QByteArray tooWide("\x41\x01", 2);
    tooWide.append(65, '0');
    EXPECT_FALSE(decodeFgd(tooWide).ok);
    QByteArray shortCells("\x10\x10", 2);
    shortCells.append(255, '0');
    const FgdDecode d = decodeFgd(shortCells);
    EXPECT_FALSE(d.ok);
    EXPECT_FALSE(d.error.isEmpty());
    EXPECT_FALSE(decodeFgd(QByteArray("\x10", 1)).ok);
    // Any other size up to 64 loads; a grid larger than 16 sends its top-left corner.
    QByteArray big("\x40\x40", 2);
    big.append(64 * 64, '1');
    const FgdDecode b = decodeFgd(big);
    ASSERT_TRUE(b.ok);
    EXPECT_EQ(b.picture.columns(), 64);
    const auto bytes = b.picture.bitmapBytes();
    EXPECT_TRUE(std::all_of(bytes.begin(), bytes.end(), [](auto x) { return x == 0xFF; }));
}

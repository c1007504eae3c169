#include "display/commands.h"
#include "display/display_transfer.h"
#include "display/module_model.h"
#include "display/script_buffer.h"
#include "hex.h"
#include "link/protocol.h"
#include "support/firmware_context.h"

#include <gtest/gtest.h>

using namespace vardex;
using namespace vardex::display;
using test::hexBytes;
using test::repeated;
using ByteList = std::vector<std::uint8_t>;

namespace {

constexpr int kSerial = link::protocol::code::SerialSend;

struct Bench {
    test::FirmwareContext ctx;
    ScriptBuffer script;
    DisplayLink link{ctx, script};

    std::vector<ByteList> commands() const { return ctx.dataOf(kSerial); }
    ByteList line() const { return ctx.firmware.serialBytes(); }
};

// A text of n converted bytes: Latin letters counting up.
QString textOf(int n)
{
    QString s;
    for (int i = 0; i < n; ++i)
        s += QChar(u'a' + i % 26);
    return s;
}

ByteList bytesOf(int from, int to)
{
    ByteList b;
    for (int i = from; i < to; ++i)
        b.push_back(static_cast<std::uint8_t>('a' + i % 26));
    return b;
}

ByteList cat(std::initializer_list<ByteList> parts)
{
    ByteList out;
    for (const ByteList &p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

} // namespace

TEST(DisplaySequences, StaticLineGoesToItsRow)
{
    Bench b;
    ASSERT_TRUE(staticLine(b.link, 2, QStringLiteral("Яд1")).ok());
    const auto c = b.commands();
    ASSERT_EQ(c.size(), 3u);
    EXPECT_EQ(c[0], hexBytes("1B 5B 32 3B 31 48"));
    EXPECT_EQ(c[1], hexBytes("1B 5B 30 4B"));
    EXPECT_EQ(c[2], hexBytes("84 60 84 74 31"));
    EXPECT_EQ(b.line(), cat({c[0], c[1], c[2]}));
    // Every command is recorded for the stand-alone test.
    EXPECT_EQ(b.script.bytes()[0], 0xFE);
    EXPECT_EQ(b.script.bytes()[8], 0xFE);
    EXPECT_EQ(b.script.bytes()[16], 0xFE);
    EXPECT_EQ(b.script.position(), 25);
}

TEST(DisplaySequences, AStaticLineLongerThanOneRequestIsRefusedWhole)
{
    Bench b;
    // 29 Cyrillic letters are 58 bytes: they fit; one more letter does not.
    ASSERT_TRUE(staticLine(b.link, 1, QString(29, QChar(u'Ж'))).ok());
    EXPECT_EQ(b.commands().back().size(), 58u);
    b.ctx.sent.clear();
    const link::OpResult r = staticLine(b.link, 1, QString(30, QChar(u'Ж')));
    EXPECT_EQ(r.status, link::OpStatus::Failed);
    EXPECT_EQ(r.message, QStringLiteral("Длина строки превышает максимальный размер"));
    EXPECT_TRUE(b.ctx.sent.empty());
}

TEST(DisplaySequences, SingleScrollSplitsIntoTheHeaderAndAtMostTwoCommands)
{
    {
        Bench b;
        ASSERT_TRUE(scrollLine(b.link, 1, textOf(100), 2).ok());
        const auto c = b.commands();
        ASSERT_EQ(c.size(), 3u);
        EXPECT_EQ(c[0], singleScroll(3, 1, 2, 100, bytesOf(0, 42)));
        EXPECT_EQ(c[1], bytesOf(42, 84));
        EXPECT_EQ(c[2], bytesOf(84, 100));
        EXPECT_EQ(b.line(), cat({c[0], c[1], c[2]}));
    }
    {
        Bench b;
        ASSERT_TRUE(scrollLine(b.link, 2, textOf(42), 0).ok());
        ASSERT_EQ(b.commands().size(), 1u);
        EXPECT_EQ(b.commands()[0], singleScroll(3, 2, 0, 42, bytesOf(0, 42)));
    }
    {
        Bench b;
        ASSERT_TRUE(scrollLine(b.link, 1, textOf(43), 0).ok());
        ASSERT_EQ(b.commands().size(), 2u);
        EXPECT_EQ(b.commands()[1], bytesOf(42, 43));
    }
    {
        Bench b;
        ASSERT_TRUE(scrollLine(b.link, 1, textOf(128), 3).ok());
        EXPECT_EQ(b.commands().size(), 3u);
        EXPECT_EQ(b.commands()[2].size(), 44u);
        Bench over;
        EXPECT_EQ(scrollLine(over.link, 1, textOf(129), 3).message,
                  QStringLiteral("Длина строки превышает максимальный размер"));
        EXPECT_TRUE(over.ctx.sent.empty());
    }
}

TEST(DisplaySequences, GroupScrollSendsPiecesAfterPauses)
{
    Bench b;
    ASSERT_TRUE(groupScrollLine(b.link, 2, textOf(300), 1).ok());
    const auto sent = b.ctx.sentWith(kSerial);
    ASSERT_EQ(sent.size(), 8u);
    const auto c = b.commands();
    EXPECT_EQ(c[0], groupScrollText(3, 2, 2, 44, bytesOf(0, 42)));
    EXPECT_EQ(c[0][11], 44); // 300 - 256
    for (std::size_t k = 1; k < 8; ++k) {
        const int from = static_cast<int>(42 * k);
        EXPECT_EQ(c[k], bytesOf(from, std::min(from + 42, 300))) << k;
        // Even when every reply comes at once, more than 200 ms pass between pieces.
        EXPECT_GT(sent[k].atMs - sent[k - 1].atMs, 200) << k;
    }
    EXPECT_EQ(c[7].size(), 6u);

    Bench empty;
    EXPECT_TRUE(groupScrollLine(empty.link, 1, QString(), 0).ok());
    EXPECT_TRUE(empty.ctx.sent.empty());
    Bench over;
    EXPECT_FALSE(groupScrollLine(over.link, 1, textOf(513), 0).ok());
    EXPECT_TRUE(over.ctx.sent.empty());
}

TEST(DisplaySequences, WaitsOnlyPaceTheSequence)
{
    Bench b;
    b.ctx.dropReplies = 100; // no acknowledgements at all
    ASSERT_TRUE(staticLine(b.link, 1, QStringLiteral("x")).ok());
    const auto sent = b.ctx.sentWith(kSerial);
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[1].atMs - sent[0].atMs, 200);
    EXPECT_EQ(sent[2].atMs - sent[1].atMs, 200);
}

TEST(DisplaySequences, FillAndCharacterRows)
{
    Bench b;
    ASSERT_TRUE(fill(b.link).ok());
    auto c = b.commands();
    ASSERT_EQ(c.size(), 8u);
    EXPECT_EQ(c[6], cursorTo(4, 1));
    EXPECT_EQ(c[7], repeated(32, 0x7F));

    Bench r;
    ASSERT_TRUE(characterRows(r.link).ok());
    c = r.commands();
    ASSERT_EQ(c.size(), 8u);
    EXPECT_EQ(c[1].front(), 0x20);
    EXPECT_EQ(c[1].back(), 0x3F);
    EXPECT_EQ(c[5].front(), 0x60);
    EXPECT_EQ(c[5].back(), 0x7F);
    EXPECT_EQ(c[7].size(), 32u);
    EXPECT_EQ(ByteList(c[7].begin(), c[7].begin() + 2), hexBytes("81 9A"));
}

TEST(DisplaySequences, FourLineTestAndUserCharacter)
{
    Bench b;
    ASSERT_TRUE(fourLineTest(b.link, 0).ok());
    const auto c = b.commands();
    ASSERT_EQ(c.size(), 4u);
    EXPECT_EQ(c[3], groupScrollText(5, 4, 1, 10, repeated(10, 'P')));

    Bench u;
    ASSERT_TRUE(userCharacterLine(u.link).ok());
    EXPECT_EQ(u.commands().back(), hexBytes("EC 9D EC 9D"));
}

TEST(DisplaySequences, TestTwoBouncesAndStopsAfterItsPass)
{
    Bench b;
    bool running = true;
    int passes = 0;
    b.ctx.onSend = [&](const link::Payload &p) {
        // Stop in the middle of pass 600, after its picture went out.
        if (p[link::pos::Data + 4] == 'G' && ++passes == 600)
            running = false;
    };
    std::array<std::uint8_t, 32> picture{};
    picture[0] = 0x80;
    ASSERT_TRUE(test2(b.link, picture, running).ok());

    std::vector<std::pair<int, int>> at;
    const auto c = b.commands();
    for (std::size_t i = 0; i < c.size(); ++i) {
        if (i % 2 == 1) {
            EXPECT_EQ(c[i], clearScreen());
            continue;
        }
        int v[4] = {};
        std::size_t k = 0;
        for (std::size_t j = 5; k < 4 && j < c[i].size(); ++j) {
            if (c[i][j] == ';')
                ++k;
            else
                v[k] = v[k] * 10 + (c[i][j] - '0');
        }
        at.emplace_back(v[0], v[1]);
    }
    ASSERT_EQ(at.size(), 600u);
    EXPECT_EQ(c.size(), 1200u); // the last pass finished with its clear screen
    EXPECT_EQ(at.front(), std::make_pair(0, 0));
    EXPECT_EQ(std::count_if(at.begin(), at.end(), [](auto p) { return p.first == 239; }), 1);
    for (std::size_t i = 1; i < at.size(); ++i) {
        if (at[i - 1].first == 239) {
            EXPECT_EQ(at[i].first, 238);
        }
        EXPECT_LE(at[i].second, 47);
        EXPECT_GE(at[i].first, 0);
    }
    const auto y47 = std::find_if(at.begin(), at.end(), [](auto p) { return p.second == 47; });
    ASSERT_NE(y47, at.end());
    EXPECT_EQ(std::next(y47)->second, 47);
    EXPECT_EQ(std::next(y47, 2)->second, 46);
    // Y reaches 0 once on the way down and turns: 1, 0, 1.
    const auto y0 = std::find_if(std::next(y47), at.end(), [](auto p) { return p.second == 0; });
    ASSERT_NE(y0, at.end());
    EXPECT_EQ(std::next(y0)->second, 1);
}

TEST(DisplaySequences, CancelEndsQuietly)
{
    Bench b;
    bool running = true;
    b.ctx.onSend = [&](const link::Payload &) {
        if (b.ctx.sent.size() == 5)
            b.ctx.cancel = true;
    };
    const link::OpResult r = test2(b.link, {}, running);
    EXPECT_EQ(r.status, link::OpStatus::Cancelled);
    EXPECT_EQ(b.ctx.sent.size(), 5u);

    Bench t;
    t.ctx.onSend = [&](const link::Payload &) {
        if (t.ctx.sent.size() == 3)
            t.ctx.cancel = true;
    };
    EXPECT_EQ(test1(t.link).status, link::OpStatus::Cancelled);
    EXPECT_EQ(t.ctx.sent.size(), 3u);
}

TEST(DisplaySequences, PictureToScreenAtItsPosition)
{
    Bench b;
    std::array<std::uint8_t, 32> picture{};
    picture[0] = 0x80;
    ASSERT_TRUE(pictureToScreen(b.link, picture, 255, 64).ok());
    const auto c = b.commands();
    ASSERT_EQ(c.size(), 1u);
    ByteList expected = hexBytes("1B 5C 3F 4C 47 32 35 35 3B 36 34 3B 31 36 3B 31 36 3B 80 00");
    expected.resize(expected.size() + 30, 0);
    EXPECT_EQ(c[0], expected);
}

TEST(DisplayScriptWrite, FiveBlocksOf51Bytes)
{
    test::FirmwareContext ctx;
    ScriptBuffer script;
    ASSERT_TRUE(script.append(dimming(4)));
    ASSERT_TRUE(script.append(ByteList(50, 0x41)));
    ASSERT_TRUE(writeScript(ctx, script, 2).ok());
    const auto writes = ctx.sentWith(link::protocol::code::MemoryWrite);
    ASSERT_EQ(writes.size(), 5u);
    for (int i = 0; i < 5; ++i) {
        const auto &p = writes[static_cast<std::size_t>(i)].payload;
        const int address = p[link::pos::Sub] | (p[link::pos::Arg1] << 8);
        EXPECT_EQ(address, 512 + 51 * i);
        EXPECT_EQ(p[link::pos::Len], 51);
    }
    // The controller holds bytes 0..254 of the buffer.
    std::array<std::uint8_t, 255> stored{};
    ctx.firmware.memory().read(512, stored);
    EXPECT_TRUE(std::equal(stored.begin(), stored.end(), script.bytes().begin()));
    // Memory writes are not display commands: nothing was recorded or sent as one.
    EXPECT_EQ(script.position(), 65);
    EXPECT_TRUE(ctx.dataOf(kSerial).empty());
}

TEST(DisplayScriptWrite, AMissingAcknowledgementDoesNotStopTheWrite)
{
    test::FirmwareContext ctx;
    ScriptBuffer script;
    ctx.dropReplies = 2;
    const link::OpResult r = writeScript(ctx, script, 0);
    EXPECT_EQ(r.status, link::OpStatus::NoReply);
    EXPECT_EQ(r.step, 1);
    EXPECT_EQ(ctx.sentWith(link::protocol::code::MemoryWrite).size(), 5u);
}

// A script write that does not go through says which block the controller lacks: the
// contact then holds the new script's head and the old one's tail.
struct ScriptFault {
    const char *name;
    int block;  // the block (1..5) the fault hits
    char fault; // d: acknowledgement dropped, e: error reply, s: stopped during its wait
    link::OpStatus status;
    std::size_t writes; // memory writes sent in all
    const char *told;   // part of what the engineer is told
};

class DisplayScriptWriteFaults : public ::testing::TestWithParam<ScriptFault> {};

TEST_P(DisplayScriptWriteFaults, NameTheFirstBlockTheControllerLacks)
{
    const ScriptFault &c = GetParam();
    test::FirmwareContext ctx;
    ScriptBuffer script;
    int writes = 0;
    auto arm = [&] {
        if (c.fault == 'd')
            ctx.dropReplies = 1;
        else if (c.fault == 'e')
            ctx.errorReplies = 1;
    };
    if (c.block == 1)
        arm();
    ctx.onSend = [&](const link::Payload &) {
        ++writes;
        if (writes == c.block && c.fault == 's')
            ctx.cancel = true;
        if (writes + 1 == c.block)
            arm();
    };
    const link::OpResult r = writeScript(ctx, script, 1);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.step, c.block);
    EXPECT_EQ(ctx.sentWith(link::protocol::code::MemoryWrite).size(), c.writes);
    const QString told = scriptWriteText(r, 1);
    EXPECT_TRUE(told.contains(QString::fromUtf8(c.told))) << told.toStdString();
    EXPECT_TRUE(told.contains(QStringLiteral("«Кон. 2»")));
}

INSTANTIATE_TEST_SUITE_P(
    Table, DisplayScriptWriteFaults,
    ::testing::Values(ScriptFault{"FirstAcknowledgementDropped", 1, 'd', link::OpStatus::NoReply, 5,
                                  "не подтвердил блок 1 из 5 (байты 0–50)"},
                      ScriptFault{"ErrorReplyToTheThirdBlock", 3, 'e', link::OpStatus::NoReply, 5,
                                  "не подтвердил блок 3 из 5 (байты 102–152)"},
                      ScriptFault{
                          "StoppedDuringTheSecondBlock", 2, 's', link::OpStatus::Cancelled, 2,
                          "остановлена. В контроллер не записаны блоки 2–5 (байты 51–254)"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(DisplayScriptWrite, AWholeWriteIsReportedAsStored)
{
    test::FirmwareContext ctx;
    ScriptBuffer script;
    const link::OpResult r = writeScript(ctx, script, 7);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(scriptWriteText(r, 7),
              QStringLiteral("Автономный тест для «Кон. 8» записан в контроллер."));
}

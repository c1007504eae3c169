#include "link/bytes.h"
#include "link/protocol.h"
#include "link/reply_table.h"

#include <gtest/gtest.h>

#include <bit>
#include <vector>

using namespace vardex::link;
namespace proto = vardex::link::protocol;

namespace {

ReplyOutcome dispatch(const Payload &p, DeviceImage &image)
{
    const ReplyEntry entry = replyTable()[p[pos::Code]];
    return entry ? entry(p, image) : ReplyOutcome::Ignored;
}

Payload reply(int code, int sub = 0, int arg1 = 0, int len = 0)
{
    Payload p{};
    p[pos::Code] = static_cast<std::uint8_t>(code);
    p[pos::Sub] = static_cast<std::uint8_t>(sub);
    p[pos::Arg1] = static_cast<std::uint8_t>(arg1);
    p[pos::Len] = static_cast<std::uint8_t>(len);
    return p;
}

// Everything a reply could write, as bytes, so "stores nothing" can be checked whole.
std::vector<std::uint8_t> snapshot(const DeviceImage &image)
{
    std::vector<std::uint8_t> out;
    auto add = [&](const auto &bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); };
    add(image.config.encode());
    for (const auto &l : image.loops)
        add(l.encode());
    for (const auto &e : image.loopExts)
        add(e.encode());
    const auto &c = image.clock;
    add(std::vector<std::uint8_t>{c.year, c.month, c.day, c.hour, c.minute, c.second});
    const auto &s = image.state;
    add(std::vector<std::uint8_t>{s.contactInputs, s.ttlInputs, s.ttlOutputs, s.switches, s.relays,
                                  image.serialByte});
    auto add16 = [&](unsigned v) {
        out.push_back(static_cast<std::uint8_t>(v));
        out.push_back(static_cast<std::uint8_t>(v >> 8));
    };
    for (float f : s.analogValues) {
        const auto v = std::bit_cast<std::uint32_t>(f);
        add16(v);
        add16(v >> 16);
    }
    for (auto t : s.temperatures)
        add16(static_cast<std::uint16_t>(t));
    for (auto f : s.fanSpeeds)
        add16(f);
    for (auto f : s.systemFlags)
        add16(f);
    add(s.fanTasks);
    add(image.logRecordBuffer);
    add(image.openKey);
    add(image.generatedKey);
    add(image.hashDigest);
    add(image.hashReply);
    return out;
}

// A reply whose every data byte is 0xA5, so a store would show.
Payload loud(int code, int sub = 0, int arg1 = 0, int len = 58)
{
    Payload p = reply(code, sub, arg1, len);
    std::fill(p.begin() + pos::Data, p.end(), 0xA5);
    return p;
}

} // namespace

TEST(StateReply, SubZeroFillsTheLiveState)
{
    Payload r = reply(2, 0);
    r[6] = 0x81;
    r[7] = 0x7E;
    const float mains = 229.5f;
    vardex::bytes::putF32(r, 8 + 20, mains);
    r[32] = 0x60; // temperature 1 = -160
    r[33] = 0xFF;
    r[44] = 0x10; // fan 1 = 4880
    r[45] = 0x13;
    r[52] = 0x0F;
    r[53] = 0x12;
    r[54] = 0x05;
    r[55] = 100;
    r[59] = 0x01;
    r[62] = 0x80;
    DeviceImage image;
    EXPECT_EQ(dispatch(r, image), ReplyOutcome::Accepted);
    const MonitorState &s = image.state;
    EXPECT_EQ(s.contactInputs, 0x81);
    EXPECT_EQ(s.ttlInputs, 0x7E);
    EXPECT_EQ(s.analogValues[5], mains);
    EXPECT_EQ(s.temperatures[0], -160);
    EXPECT_EQ(s.fanSpeeds[0], 4880);
    EXPECT_EQ(s.switches, 0x12);
    EXPECT_EQ(s.relays, 0x05);
    EXPECT_EQ(s.fanTasks[0], 100);
    EXPECT_TRUE(s.flag(1));
    EXPECT_TRUE(s.flag(32));
    EXPECT_FALSE(s.flag(33));
}

TEST(StateReply, SubOneFillsOnlyTheUpperFlags)
{
    DeviceImage image;
    image.state.systemFlags[0] = 0x11;
    Payload r = reply(2, 1);
    r[6] = 0x01;
    r[9] = 0xFF;
    EXPECT_EQ(dispatch(r, image), ReplyOutcome::Accepted);
    EXPECT_EQ(image.state.systemFlags[0], 0x11);
    EXPECT_TRUE(image.state.flag(33));
    EXPECT_TRUE(image.state.flag(64));
    EXPECT_EQ(image.state.systemFlags[7], 0xFF); // zero-extended, not sign-extended
}

TEST(StateReply, OtherSubEndsTheWaitButStoresNothing)
{
    DeviceImage image;
    const auto before = snapshot(image);
    EXPECT_EQ(dispatch(loud(2, 7), image), ReplyOutcome::Accepted);
    EXPECT_EQ(snapshot(image), before);
}

TEST(ClockReply, FillsTheClockAndEchoOfClockWriteIsIgnored)
{
    DeviceImage image;
    const Payload w = proto::writeClock(2026, 3, 5, 14, 7, 9);
    EXPECT_EQ(dispatch(w, image), ReplyOutcome::Ignored); // Code 5 echo
    EXPECT_EQ(image.clock.year, 0);

    Payload r = w;
    r[pos::Code] = 4;
    EXPECT_EQ(dispatch(r, image), ReplyOutcome::Accepted);
    EXPECT_EQ(image.clock.year, 26);
    EXPECT_EQ(image.clock.second, 9);
}

TEST(Acknowledgements, AcceptedWithoutStoring)
{
    for (int code : {3, 7, 9, 12, 32, 33}) {
        DeviceImage image;
        const auto before = snapshot(image);
        EXPECT_EQ(dispatch(loud(code, 1, 1), image), ReplyOutcome::Accepted) << code;
        EXPECT_EQ(snapshot(image), before) << code;
    }
}

TEST(UnaskedReplies, OnlyTheListedSubsEndAWait)
{
    DeviceImage image;
    const auto before = snapshot(image);
    for (int sub : {33, 0, 1, 2, 3, 4, 6, 16, 17, 18, 32})
        EXPECT_EQ(dispatch(loud(34, sub), image), ReplyOutcome::Accepted) << "34/" << sub;
    for (int sub : {5, 7, 15, 19, 31, 34, 255})
        EXPECT_EQ(dispatch(loud(34, sub), image), ReplyOutcome::Ignored) << "34/" << sub;
    for (int sub : {0, 3})
        EXPECT_EQ(dispatch(loud(10, sub), image), ReplyOutcome::Accepted) << "10/" << sub;
    EXPECT_EQ(dispatch(loud(10, 4), image), ReplyOutcome::Ignored);
    for (int sub : {0, 1})
        EXPECT_EQ(dispatch(loud(35, sub), image), ReplyOutcome::Accepted) << "35/" << sub;
    EXPECT_EQ(dispatch(loud(35, 2), image), ReplyOutcome::Ignored);
    for (int code : {0, 5, 8, 14, 16, 31, 36, 0xFF})
        EXPECT_EQ(dispatch(loud(code), image), ReplyOutcome::Ignored) << code;
    EXPECT_EQ(snapshot(image), before);
}

TEST(ConfigReply, PageZeroWithNewFirmwareEnablesExtendedLoops)
{
    DeviceImage image;
    Payload r = reply(1, 0);
    r[6] = 24;
    EXPECT_EQ(dispatch(r, image), ReplyOutcome::Accepted);
    EXPECT_TRUE(image.hasExtendedLoops());
    EXPECT_EQ(image.loopFileSize(), 2444u);
}

TEST(LoopReply, MainAndExtendedRecordsGoToTheirLoop)
{
    DeviceImage image;
    Payload main = loud(6, 26, 0);
    main[8] = 0xC5;
    EXPECT_EQ(dispatch(main, image), ReplyOutcome::Accepted);
    EXPECT_EQ(image.loop(26).analogUse, 5);
    EXPECT_EQ(image.loop(26).hostControl, 3);
    EXPECT_EQ(image.loop(26).contactMode[0], 1);
    EXPECT_EQ(image.loop(25).contactUse, 0);

    EXPECT_EQ(dispatch(loud(6, 1, 1), image), ReplyOutcome::Accepted);
    EXPECT_EQ(image.loopExt(1).outputMask, 0xA5A5A5A5u);
    EXPECT_EQ(image.loop(1).contactUse, 0);
}

TEST(LoopReply, UnknownKindOrLoopNumberIsAcceptedWithoutStoring)
{
    DeviceImage image;
    const auto before = snapshot(image);
    EXPECT_EQ(dispatch(loud(6, 1, 2), image), ReplyOutcome::Accepted);
    for (int sub : {0, 27, 255}) {
        EXPECT_EQ(dispatch(loud(6, sub, 0), image), ReplyOutcome::Accepted) << sub;
        EXPECT_EQ(dispatch(loud(6, sub, 1), image), ReplyOutcome::Accepted) << sub;
    }
    EXPECT_EQ(snapshot(image), before);
}

TEST(LogRecordReply, HalvesLandAtOffsetsZeroAndFifty)
{
    DeviceImage image;
    Payload first = reply(11, 0, 0, 50);
    Payload second = reply(11, 1, 0, 34);
    for (int i = 0; i < 58; ++i) {
        first[6 + i] = static_cast<std::uint8_t>(i + 1);
        second[6 + i] = static_cast<std::uint8_t>(101 + i);
    }
    EXPECT_EQ(dispatch(first, image), ReplyOutcome::Accepted);
    EXPECT_EQ(dispatch(second, image), ReplyOutcome::Accepted);
    const auto &b = image.logRecordBuffer;
    EXPECT_EQ(b[0], 1);
    EXPECT_EQ(b[49], 50);
    EXPECT_EQ(b[50], 101);
    EXPECT_EQ(b[83], 134);
    EXPECT_EQ(b[84], 0); // only Len bytes copied
}

TEST(LogRecordReply, HostileLenAndSubAreClipped)
{
    std::array<std::uint8_t, 100> buffer{};
    // Len 255 at Sub 0: the first half owns 50 bytes; the second half's place stays.
    EXPECT_EQ(proto::copyLogRecordHalf(loud(11, 0, 0, 255), buffer), 50u);
    EXPECT_EQ(buffer[49], 0xA5);
    EXPECT_EQ(buffer[50], 0);
    // Len 58 at Sub 1: only 50 bytes fit before the buffer ends.
    EXPECT_EQ(proto::copyLogRecordHalf(loud(11, 1, 0, 58), buffer), 50u);
    EXPECT_EQ(buffer[99], 0xA5);
    // Sub 2 and above start past the buffer.
    for (int sub : {2, 3, 255}) {
        DeviceImage image;
        const auto before = snapshot(image);
        EXPECT_EQ(dispatch(loud(11, sub, 0, 58), image), ReplyOutcome::Accepted);
        EXPECT_EQ(snapshot(image), before) << sub;
    }
}

TEST(SignedReply, KeysAndHashReplyGoToTheirBuffers)
{
    DeviceImage image;
    Payload open = loud(15, 3);
    open[6] = 0x0A;
    EXPECT_EQ(dispatch(open, image), ReplyOutcome::Accepted);
    EXPECT_EQ(image.openKey, (std::array<std::uint8_t, 4>{0x0A, 0xA5, 0xA5, 0xA5}));
    EXPECT_EQ(image.generatedKey[0], 0);

    EXPECT_EQ(dispatch(loud(15, 1, 0, 0), image), ReplyOutcome::Accepted); // no key yet
    EXPECT_EQ(image.generatedKey[15], 0);
    EXPECT_EQ(dispatch(loud(15, 1, 0, 16), image), ReplyOutcome::Accepted);
    EXPECT_EQ(image.generatedKey[15], 0xA5);
    EXPECT_EQ(image.hashReply[0], 0);

    EXPECT_EQ(dispatch(loud(15, 0, 0, 20), image), ReplyOutcome::Accepted);
    EXPECT_EQ(image.hashReply[19], 0xA5);

    const auto before = snapshot(image);
    EXPECT_EQ(dispatch(loud(15, 2), image), ReplyOutcome::Accepted); // reset: no data
    EXPECT_EQ(dispatch(loud(15, 4), image), ReplyOutcome::Ignored);
    EXPECT_EQ(snapshot(image), before);
}

TEST(ErrorReply, RecognisedOnlyByItsFourBytes)
{
    Payload p{};
    p[0] = 0xFF;
    p[1] = 'E';
    p[2] = 'R';
    p[3] = 'R';
    EXPECT_TRUE(isErrorReply(p));
    p[3] = 'X';
    EXPECT_FALSE(isErrorReply(p));
    p[3] = 'R';
    p[0] = 0xFE;
    EXPECT_FALSE(isErrorReply(p));
}

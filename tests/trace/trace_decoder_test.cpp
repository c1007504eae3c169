#include "link/protocol.h"
#include "trace/trace_decoder.h"

#include <gtest/gtest.h>

using namespace vardex::link;
using namespace vardex::trace;
namespace p = vardex::link::protocol;

namespace {

Payload reply(std::uint8_t code, std::uint8_t sub, std::uint8_t arg1 = 0)
{
    Payload r{};
    r[pos::Code] = code;
    r[pos::Sub] = sub;
    r[pos::Arg1] = arg1;
    return r;
}

TraceEntry sent(const Payload &p, qint64 ns = 0)
{
    return {ns, TraceEntry::Direction::Sent, p};
}
TraceEntry got(const Payload &p, qint64 ns = 0)
{
    return {ns, TraceEntry::Direction::Received, p};
}

Payload errorReply()
{
    Payload r{};
    r[0] = 0xFF;
    r[1] = 'E';
    r[2] = 'R';
    r[3] = 'R';
    return r;
}

} // namespace

TEST(TraceNames, EveryRequestIsNamedFromCodeAndSub)
{
    MonitorConfig config{};
    const std::array<std::uint8_t, 20> digest{};
    const std::uint8_t bytes[3] = {1, 2, 3};
    EXPECT_EQ(requestName(p::readState(0)), "ReadState 0");
    EXPECT_EQ(requestName(p::readState(1)), "ReadState 1");
    EXPECT_EQ(requestName(p::readClock()), "ReadClock");
    EXPECT_EQ(requestName(p::writeClock(2026, 3, 5, 14, 7, 9)), "WriteClock");
    EXPECT_EQ(requestName(p::writeOutputTask(0, 0, 5, {100, 50, 0, 0})), "WriteOutputTask");
    EXPECT_EQ(requestName(p::readIdentity()), "ReadIdentity");
    EXPECT_EQ(requestName(*p::serialSend(bytes).payload), "SerialSend");
    EXPECT_EQ(requestName(p::serialRead()), "SerialRead");
    EXPECT_EQ(requestName(p::readConfigPage(2)), "ReadConfigPage 2");
    EXPECT_EQ(requestName(*p::writeConfigPage(3, config).payload), "WriteConfigPage 3");
    EXPECT_EQ(requestName(p::readLoop(26, p::LoopRecord::Extended)), "ReadLoop 26 ext");
    EXPECT_EQ(requestName(p::writeLoop(1, UprLoopConfig{})), "WriteLoop 1 main");
    EXPECT_EQ(requestName(p::writeLoopExt(4, UprLoopConfigExt{})), "WriteLoop 4 ext");
    EXPECT_EQ(requestName(p::memoryRead(7168, 58)), "MemoryRead 7168 ×58");
    EXPECT_EQ(requestName(*p::memoryWrite(4096 + 64, bytes).payload), "MemoryWrite 4160 ×3");
    EXPECT_EQ(requestName(p::readLogRecord(1234)), "ReadLogRecord 1234");
    EXPECT_EQ(requestName(p::generateKey()), "GenerateKey");
    EXPECT_EQ(requestName(p::readOpenKey()), "ReadOpenKey");
    EXPECT_EQ(requestName(p::sendHash(digest)), "SendHash");
    EXPECT_EQ(requestName(p::resetHash()), "ResetHash");
    EXPECT_EQ(requestName(reply(200, 7)), "Code 200 Sub 7");
}

TEST(TraceNames, RepliesNoticesAndTheErrorReply)
{
    EXPECT_EQ(replyName(errorReply()), "ERR");
    EXPECT_EQ(replyName(reply(p::code::Identity, p::kIdentitySub)), "ReadIdentity");
    EXPECT_EQ(replyName(reply(p::code::Identity, 16)), "Notice 34 16");
    EXPECT_EQ(replyName(reply(p::code::Unsolicited10, 2)), "Notice 10 2");
    EXPECT_EQ(replyName(reply(p::code::Unsolicited35, 1)), "Notice 35 1");
    EXPECT_EQ(replyName(reply(p::code::Loop, 3, 1)), "ReadLoop 3 ext");
    EXPECT_EQ(replyName(reply(p::code::Loop, 3, 2)), "ReadLoop 3 2");
    EXPECT_EQ(replyName(reply(p::code::Hash, 3)), "ReadOpenKey");
    EXPECT_EQ(replyName(reply(p::code::LogRecord, 1)), "ReadLogRecord (2/2)");
}

TEST(TraceDecoder, LogRecordHalvesCarryTheRequestedNumber)
{
    Decoder d;
    d.decode(sent(p::readLogRecord(1234)));
    const auto first = d.decode(got(reply(p::code::LogRecord, 0)));
    const auto second = d.decode(got(reply(p::code::LogRecord, 1)));
    const auto third = d.decode(got(reply(p::code::LogRecord, 1)));
    EXPECT_EQ(first.name, "ReadLogRecord 1234 (1/2)");
    EXPECT_EQ(second.name, "ReadLogRecord 1234 (2/2)");
    EXPECT_EQ(first.mark, Mark::None);
    EXPECT_EQ(second.mark, Mark::None);
    EXPECT_EQ(third.mark, Mark::Unmatched);
}

TEST(TraceDecoder, MarksLateDuplicateAndUnrequestedReplies)
{
    Decoder d;
    EXPECT_EQ(d.decode(got(reply(p::code::State, 0))).mark, Mark::Unmatched);
    d.decode(sent(p::readClock()));
    d.decode(sent(p::readState(0))); // the clock's reply did not come in time
    EXPECT_EQ(d.decode(got(reply(p::code::Clock, 0))).mark, Mark::Late);
    EXPECT_EQ(d.decode(got(reply(p::code::State, 0))).mark, Mark::None);
    EXPECT_EQ(d.decode(got(reply(p::code::State, 0))).mark, Mark::Unmatched);
    EXPECT_EQ(d.decode(got(reply(p::code::Loop, 1))).mark, Mark::Unmatched);
    EXPECT_EQ(d.decode(got(reply(p::code::Unsolicited10, 0))).mark, Mark::None);
    d.decode(sent(p::readState(1)));
    EXPECT_EQ(d.decode(got(errorReply())).mark, Mark::None);
    EXPECT_EQ(d.decode(got(errorReply())).mark, Mark::Unmatched);
    // Asking for the clock again makes its reply current, not late.
    d.decode(sent(p::readClock()));
    EXPECT_EQ(d.decode(got(reply(p::code::Clock, 0))).mark, Mark::None);
}

TEST(TraceDecoder, TimeLengthAndHexOfALine)
{
    Decoder d;
    d.decode(sent(p::readState(0), 5'000'000));
    Payload r = reply(p::code::State, 0);
    r[10] = 0xAB;
    const auto e = d.decode(got(r, 17'345'000));
    EXPECT_EQ(e.nanoseconds, 12'345'000);
    EXPECT_EQ(e.length, 11);
    EXPECT_EQ(e.hex, "02 00 00 00 00 00 00 00 00 00 ab");
    const QString line = formatLine(e);
    EXPECT_TRUE(line.contains("12.345 < ReadState 0")) << line.toStdString();
    EXPECT_TRUE(line.endsWith("ab")) << line.toStdString();
    EXPECT_EQ(e.mark, Mark::None);
    auto late = e;
    late.mark = Mark::Late;
    EXPECT_TRUE(formatLine(late).endsWith("!поздний"));
    Payload zeros{};
    EXPECT_EQ(significantLength(zeros), 6);
}

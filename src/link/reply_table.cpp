#include "link/reply_table.h"

#include "link/protocol.h"

#include <algorithm>
#include <initializer_list>

namespace vardex::link {

namespace {

namespace code = protocol::code;
using Outcome = ReplyOutcome;

// Acknowledgements and replies whose data the caller reads from the report buffer.
Outcome accept(const Payload &, DeviceImage &)
{
    return Outcome::Accepted;
}

bool subIn(const Payload &reply, std::initializer_list<int> subs)
{
    return std::find(subs.begin(), subs.end(), reply[pos::Sub]) != subs.end();
}

// Code 1: configuration page Sub; an unknown page ends the wait without storing.
Outcome configPage(const Payload &reply, DeviceImage &image)
{
    protocol::decodeConfigPage(reply, image.configTarget(reply[pos::Sub]));
    return Outcome::Accepted;
}

// Code 2: Sub 0 the state, Sub 1 the upper flag bytes; every Sub ends the wait.
Outcome state(const Payload &reply, DeviceImage &image)
{
    if (reply[pos::Sub] == 0)
        protocol::decodeState(reply, image.state);
    else if (reply[pos::Sub] == 1)
        protocol::decodeStateFlags(reply, image.state);
    return Outcome::Accepted;
}

// Code 4.
Outcome clock(const Payload &reply, DeviceImage &image)
{
    protocol::decodeClock(reply, image.clock);
    return Outcome::Accepted;
}

// Code 6: Sub is the loop, Arg1 the record kind. Anything else ends the wait unstored.
Outcome loopRecord(const Payload &reply, DeviceImage &image)
{
    const int n = reply[pos::Sub];
    if (n < 1 || n > kLoopCount)
        return Outcome::Accepted;
    switch (reply[pos::Arg1]) {
    case static_cast<std::uint8_t>(protocol::LoopRecord::Main):
        protocol::decodeLoop(reply, image.loopTarget(n));
        break;
    case static_cast<std::uint8_t>(protocol::LoopRecord::Extended):
        protocol::decodeLoopExt(reply, image.loopExtTarget(n));
        break;
    default:
        break;
    }
    return Outcome::Accepted;
}

// Code 11: one half of a log record.
Outcome logRecordHalf(const Payload &reply, DeviceImage &image)
{
    protocol::copyLogRecordHalf(reply, image.logRecordBuffer);
    return Outcome::Accepted;
}

// Code 13: the byte read from the serial line.
Outcome serialByte(const Payload &reply, DeviceImage &image)
{
    image.serialByte = reply[pos::Data];
    return Outcome::Accepted;
}

// Code 10: accepted for Sub 0..3 without a request of ours.
Outcome unsolicited10(const Payload &reply, DeviceImage &)
{
    return subIn(reply, {0, 1, 2, 3}) ? Outcome::Accepted : Outcome::Ignored;
}

// Code 34: Sub 33 is the identity (read from the report buffer by the caller); the other
// listed Subs arrive unasked and carry nothing we keep.
Outcome identity(const Payload &reply, DeviceImage &)
{
    return subIn(reply, {protocol::kIdentitySub, 0, 1, 2, 3, 4, 6, 16, 17, 18, 32})
               ? Outcome::Accepted
               : Outcome::Ignored;
}

// Code 35.
Outcome unsolicited35(const Payload &reply, DeviceImage &)
{
    return subIn(reply, {0, 1}) ? Outcome::Accepted : Outcome::Ignored;
}

// Code 15, the signed commands: Sub 0 hash reply 6..25, Sub 1 generated key 6..21 (only
// when Len is non-zero), Sub 2 nothing, Sub 3 open key 6..9.
Outcome signedCommand(const Payload &reply, DeviceImage &image)
{
    const auto data = reply.begin() + pos::Data;
    switch (reply[pos::Sub]) {
    case protocol::hash::SendHash:
        std::copy_n(data, image.hashReply.size(), image.hashReply.begin());
        return Outcome::Accepted;
    case protocol::hash::GenerateKey:
        if (reply[pos::Len] != 0)
            std::copy_n(data, image.generatedKey.size(), image.generatedKey.begin());
        return Outcome::Accepted;
    case protocol::hash::ResetHash:
        return Outcome::Accepted;
    case protocol::hash::ReadOpenKey:
        std::copy_n(data, image.openKey.size(), image.openKey.begin());
        return Outcome::Accepted;
    default:
        return Outcome::Ignored;
    }
}

} // namespace

bool isControllerNotice(const Payload &reply)
{
    const std::uint8_t code = reply[pos::Code];
    if (code == code::Identity)
        return reply[pos::Sub] != protocol::kIdentitySub;
    return code == code::Unsolicited10 || code == code::Unsolicited35;
}

bool isErrorReply(const Payload &reply)
{
    return reply[0] == 0xFF && reply[1] == 'E' && reply[2] == 'R' && reply[3] == 'R';
}

// Code 5 (clock write) has no entry: its echo must not end anyone's wait.
const ReplyTable &replyTable()
{
    static const ReplyTable table = [] {
        ReplyTable t{};
        t[code::ConfigPage] = configPage;
        t[code::State] = state;
        t[code::OutputTask] = accept;
        t[code::Clock] = clock;
        t[code::Loop] = loopRecord;
        t[code::WriteLoop] = accept;
        t[code::WriteConfigPage] = accept;
        t[code::Unsolicited10] = unsolicited10;
        t[code::LogRecord] = logRecordHalf;
        t[code::SerialSend] = accept;
        t[code::SerialRead] = serialByte;
        t[code::Hash] = signedCommand;
        t[code::MemoryRead] = accept;
        t[code::MemoryWrite] = accept;
        t[code::Identity] = identity;
        t[code::Unsolicited35] = unsolicited35;
        return t;
    }();
    return table;
}

void noteRequest(DeviceImage &image, const Payload &request)
{
    ReadAsideCopies &aside = image.aside;
    const int sub = request[pos::Sub];
    if (request[pos::Code] == code::ConfigPage &&
        sub < static_cast<int>(aside.pagePending.size())) {
        aside.pagePending[static_cast<std::size_t>(sub)] = aside.configOpen > 0;
    } else if (request[pos::Code] == code::Loop && sub >= 1 && sub <= kLoopCount &&
               request[pos::Arg1] <= 1) {
        aside.loopPending[static_cast<std::size_t>(sub - 1)][request[pos::Arg1]] =
            aside.loopsOpen > 0;
    }
}

} // namespace vardex::link

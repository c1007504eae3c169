#include "trace/trace_decoder.h"

#include "link/protocol.h"
#include "link/reply_table.h"

namespace vardex::trace {

namespace code = link::protocol::code;
namespace protocol = link::protocol;
namespace pos = link::pos;
using link::isControllerNotice;
using link::isErrorReply;
using link::kDataOffset;

namespace {

int u16At(const Payload &p, std::size_t lo)
{
    return p[lo] | (p[lo + 1] << 8);
}

int address(const Payload &p)
{
    return p[pos::Sub] | (p[pos::Arg1] << 8);
}

QString hashName(std::uint8_t sub)
{
    switch (sub) {
    case protocol::hash::SendHash:
        return QStringLiteral("SendHash");
    case protocol::hash::GenerateKey:
        return QStringLiteral("GenerateKey");
    case protocol::hash::ResetHash:
        return QStringLiteral("ResetHash");
    case protocol::hash::ReadOpenKey:
        return QStringLiteral("ReadOpenKey");
    default:
        return QStringLiteral("Hash %1").arg(sub);
    }
}

QString loopKind(std::uint8_t arg1)
{
    return arg1 == 0   ? QStringLiteral("main")
           : arg1 == 1 ? QStringLiteral("ext")
                       : QString::number(arg1);
}

// Name of a Code/Sub pair shared by requests and the replies of the same Code.
QString commonName(const Payload &p)
{
    const std::uint8_t sub = p[pos::Sub];
    switch (p[pos::Code]) {
    case code::ConfigPage:
        return QStringLiteral("ReadConfigPage %1").arg(sub);
    case code::State:
        return QStringLiteral("ReadState %1").arg(sub);
    case code::OutputTask:
        return QStringLiteral("WriteOutputTask");
    case code::Clock:
        return QStringLiteral("ReadClock");
    case code::WriteClock:
        return QStringLiteral("WriteClock");
    case code::Loop:
        return QStringLiteral("ReadLoop %1 %2").arg(sub).arg(loopKind(p[pos::Arg1]));
    case code::WriteLoop:
        return QStringLiteral("WriteLoop %1 %2").arg(sub).arg(loopKind(p[pos::Arg1]));
    case code::WriteConfigPage:
        return QStringLiteral("WriteConfigPage %1").arg(sub);
    case code::SerialSend:
        return QStringLiteral("SerialSend");
    case code::SerialRead:
        return QStringLiteral("SerialRead");
    case code::Hash:
        return hashName(sub);
    case code::MemoryRead:
        return QStringLiteral("MemoryRead %1").arg(address(p));
    case code::MemoryWrite:
        return QStringLiteral("MemoryWrite %1").arg(address(p));
    case code::Identity:
        if (sub == protocol::kIdentitySub)
            return QStringLiteral("ReadIdentity");
        break;
    default:
        break;
    }
    return QStringLiteral("Code %1 Sub %2").arg(p[pos::Code]).arg(sub);
}

} // namespace

QString requestName(const Payload &request)
{
    const std::uint8_t c = request[pos::Code];
    if (c == code::LogRecord)
        return QStringLiteral("ReadLogRecord %1").arg(u16At(request, pos::Arg1));
    if (c == code::MemoryRead || c == code::MemoryWrite)
        return commonName(request) + QStringLiteral(" ×%1").arg(request[pos::Len]);
    return commonName(request);
}

QString replyName(const Payload &reply)
{
    if (isErrorReply(reply))
        return QStringLiteral("ERR");
    if (isControllerNotice(reply))
        return QStringLiteral("Notice %1 %2").arg(reply[pos::Code]).arg(reply[pos::Sub]);
    if (reply[pos::Code] == code::LogRecord)
        return QStringLiteral("ReadLogRecord (%1/2)").arg(reply[pos::Sub] + 1);
    return commonName(reply);
}

int significantLength(const Payload &payload)
{
    int n = static_cast<int>(payload.size());
    while (n > static_cast<int>(kDataOffset) && payload[n - 1] == 0)
        --n;
    return n;
}

QString markText(Mark mark)
{
    switch (mark) {
    case Mark::Late:
        return QStringLiteral("поздний");
    case Mark::Unmatched:
        return QStringLiteral("без запроса");
    case Mark::None:
        break;
    }
    return {};
}

QString formatLine(const DecodedEntry &e)
{
    QString line =
        QStringLiteral("%1 %2 %3 [%4] %5")
            .arg(e.nanoseconds / 1e6, 12, 'f', 3)
            .arg(e.direction == TraceEntry::Direction::Sent ? QLatin1Char('>') : QLatin1Char('<'))
            .arg(e.name, -28)
            .arg(e.length, 2)
            .arg(e.hex);
    if (e.mark != Mark::None)
        line += QStringLiteral("  !") + markText(e.mark);
    if (e.wallTime.isValid())
        line.prepend(e.wallTime.toString(QStringLiteral("HH:mm:ss.zzz ")));
    return line;
}

DecodedEntry Decoder::decode(const TraceEntry &entry, const QTime &wallTime)
{
    if (!m_started) {
        m_started = true;
        m_origin = entry.nanoseconds;
    }
    DecodedEntry out;
    if (entry.direction == TraceEntry::Direction::Sent) {
        if (m_outstandingCode == code::SerialSend && m_repliesToOutstanding == 0)
            m_owedSerialAcks.push_back(entry.nanoseconds);
        if (m_outstandingCode >= 0)
            m_earlierCodes.insert(m_outstandingCode);
        m_outstandingCode = entry.payload[pos::Code];
        m_outstanding = entry.payload;
        m_repliesToOutstanding = 0;
        m_earlierCodes.erase(m_outstandingCode);
        out.name = requestName(entry.payload);
    } else {
        out = decodeReply(entry.payload, entry.nanoseconds);
    }
    out.nanoseconds = entry.nanoseconds - m_origin;
    out.wallTime = wallTime;
    out.direction = entry.direction;
    const int n = significantLength(entry.payload);
    out.length = n;
    out.hex = QByteArray(reinterpret_cast<const char *>(entry.payload.data()), n).toHex(' ');
    return out;
}

DecodedEntry Decoder::decodeReply(const Payload &reply, qint64 nanoseconds)
{
    DecodedEntry out;
    out.name = replyName(reply);
    if (isControllerNotice(reply))
        return out;

    const bool error = isErrorReply(reply);
    const int c = reply[pos::Code];
    // The serial line acknowledges in order and names nothing of its command: while an
    // earlier command is owed one, this is that one's, late (the data module drops it).
    if (c == code::SerialSend) {
        constexpr qint64 kOwedNs = 3'000'000'000;
        while (!m_owedSerialAcks.empty() && nanoseconds - m_owedSerialAcks.front() > kOwedNs)
            m_owedSerialAcks.pop_front();
        if (!m_owedSerialAcks.empty()) {
            m_owedSerialAcks.pop_front();
            out.mark = Mark::Late;
            return out;
        }
    }
    if (!error && c != m_outstandingCode) {
        out.mark = m_earlierCodes.count(c) ? Mark::Late : Mark::Unmatched;
        return out;
    }
    if (m_outstandingCode < 0) {
        out.mark = Mark::Unmatched;
        return out;
    }
    // A log record comes as two reports; every other request gets one answer.
    const bool logRecord = !error && c == code::LogRecord;
    const int expected = logRecord ? 2 : 1;
    if (m_repliesToOutstanding >= expected)
        out.mark = Mark::Unmatched;
    ++m_repliesToOutstanding;
    if (logRecord)
        out.name = QStringLiteral("ReadLogRecord %1 (%2/2)")
                       .arg(u16At(m_outstanding, pos::Arg1))
                       .arg(reply[pos::Sub] + 1);
    return out;
}

} // namespace vardex::trace

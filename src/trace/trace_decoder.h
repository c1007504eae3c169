#pragma once

#include "link/data_module.h"
#include "link/report.h"

#include <QString>
#include <QTime>

#include <deque>
#include <set>

// Names every report crossing the link, for the exchange trace (the window's dock,
// `--trace FILE`, the command line's --trace). Pure: the decoder only remembers which
// requests were sent, so it can tell a late or unrequested reply from an answer.
namespace vardex::trace {

using link::Payload;
using link::TraceEntry;

enum class Mark {
    None,
    Late,      // answers a request sent earlier than the one outstanding
    Unmatched, // answers nothing that was sent (or a request already answered)
};

struct DecodedEntry {
    qint64 nanoseconds = 0; // since the first report of the trace
    QTime wallTime;         // the computer's time of day when it crossed (null: not known)
    TraceEntry::Direction direction = TraceEntry::Direction::Sent;
    QString name;   // "ReadState 0", "ReadLogRecord 1234 (1/2)", "ERR"
    int length = 0; // significant payload bytes (header plus data up to the last non-zero)
    QString hex;    // those bytes, space-separated
    Mark mark = Mark::None;
};

// The request's name with its arguments, from Code and Sub alone.
QString requestName(const Payload &request);
// The reply's name as the answer to its own Code; no request context.
QString replyName(const Payload &reply);
// Header plus data bytes up to the last non-zero byte, at least the 6 header bytes.
int significantLength(const Payload &payload);
QString markText(Mark mark);
// One line: "09:41:07.123       12.345 > ReadState 0  [6]  02 00 00 00 00 00" (the time of
// day first when known, milliseconds since the first report, marks at the end). The
// dock's "Сохранить…" and the --trace file write exactly these lines.
QString formatLine(const DecodedEntry &entry);

class Decoder {
public:
    DecodedEntry decode(const TraceEntry &entry, const QTime &wallTime = {});
    void reset() { *this = Decoder(); }

private:
    DecodedEntry decodeReply(const Payload &reply, qint64 nanoseconds);

    bool m_started = false;
    qint64 m_origin = 0;
    int m_outstandingCode = -1;
    Payload m_outstanding{};
    int m_repliesToOutstanding = 0;
    std::set<int> m_earlierCodes;        // codes of requests sent before the outstanding one
    std::deque<qint64> m_owedSerialAcks; // serial-line commands not yet acknowledged, by time
};

} // namespace vardex::trace

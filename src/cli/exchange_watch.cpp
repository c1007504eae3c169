#include "cli/exchange_watch.h"

#include "link/protocol.h"
#include "link/reply_table.h"
#include "trace/trace_decoder.h"

namespace vardex::cli {

namespace {
// Requests the controller's program never awaits: their loss is not a failure.
bool fireAndForget(const link::Payload &request)
{
    const auto code = request[link::pos::Code];
    return code == link::protocol::code::WriteClock || code == link::protocol::code::OutputTask;
}
} // namespace

void ExchangeWatch::onTrace(const link::TraceEntry &entry)
{
    if (entry.direction == link::TraceEntry::Direction::Sent) {
        judgeLast();
        m_last = entry.payload;
        m_hasLast = true;
        m_answered = false;
        return;
    }
    if (!m_hasLast || m_answered)
        return;
    if (link::isErrorReply(entry.payload)) {
        m_answered = true;
        if (m_refused.isEmpty())
            m_refused = trace::requestName(m_last);
    } else if (entry.payload[link::pos::Code] == m_last[link::pos::Code]) {
        m_answered = true;
    }
}

void ExchangeWatch::finish()
{
    judgeLast();
    m_hasLast = false;
}

void ExchangeWatch::judgeLast()
{
    if (m_hasLast && !m_answered && !fireAndForget(m_last) && m_unanswered.isEmpty())
        m_unanswered = trace::requestName(m_last);
}

QString ExchangeWatch::failureText() const
{
    if (!m_refused.isEmpty())
        return QStringLiteral("контроллер отказал (ERR) на %1").arg(m_refused);
    if (!m_unanswered.isEmpty())
        return QStringLiteral("контроллер не ответил на %1").arg(m_unanswered);
    return {};
}

} // namespace vardex::cli

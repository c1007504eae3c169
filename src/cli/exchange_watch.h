#pragma once

#include "link/data_module.h"

#include <QString>

namespace vardex::cli {

// Follows the trace to say which request went unanswered or was refused, so every
// failure names its request. Sequences that let missing replies pass silently (the
// all-loops read) are caught here too.
class ExchangeWatch {
public:
    void onTrace(const link::TraceEntry &entry);
    // Call when the sequence has ended: the last request is judged too.
    void finish();

    // The first request the controller did not answer, e.g. "ReadLoop 7 main".
    const QString &unanswered() const { return m_unanswered; }
    // The first request answered with the error reply.
    const QString &refused() const { return m_refused; }
    bool failed() const { return !m_unanswered.isEmpty() || !m_refused.isEmpty(); }
    // "контроллер не ответил на ReadState 1" / "контроллер отказал (ERR) на …".
    QString failureText() const;

private:
    void judgeLast();

    bool m_hasLast = false;
    bool m_answered = false;
    link::Payload m_last{};
    QString m_unanswered;
    QString m_refused;
};

} // namespace vardex::cli

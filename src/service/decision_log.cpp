#include "service/decision_log.h"

namespace vardex::service {

void DecisionLog::add(const QDateTime &when, const QString &what, const QString &rule)
{
    m_lines.push_back(when.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) + QStringLiteral(" — ") +
                      what);
    m_rules.push_back(rule);
    ++m_total;
    while (m_lines.size() > static_cast<std::size_t>(kMaxLines)) {
        m_lines.pop_front();
        m_rules.pop_front();
    }
}

QByteArray DecisionLog::text() const
{
    QByteArray out;
    for (const QString &line : m_lines) {
        out += line.toUtf8();
        out += '\n';
    }
    return out;
}

files::FileResult DecisionLog::save(const QString &path) const
{
    return files::saveAtomically(path, text());
}

} // namespace vardex::service

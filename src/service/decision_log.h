#pragma once

#include "files/file_io.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <deque>

namespace vardex::service {

// What the watchdog did and when: one line per decision, the newest last. A watchdog
// that power-cycles machines unattended has to be able to account for it afterwards.
class DecisionLog {
public:
    static constexpr int kMaxLines = 1000;

    // Adds "yyyy-MM-dd hh:mm:ss — what"; drops the oldest line beyond kMaxLines. rule
    // names the rule that made the decision ("misses", "hold-off", …; empty: none).
    void add(const QDateTime &when, const QString &what, const QString &rule = {});
    const std::deque<QString> &lines() const { return m_lines; }
    // The rule of each line, beside lines().
    const std::deque<QString> &rules() const { return m_rules; }
    // Every line ever added, also those dropped since.
    qint64 totalAdded() const { return m_total; }
    int size() const { return static_cast<int>(m_lines.size()); }
    // The lines as UTF-8 text, one per line.
    QByteArray text() const;
    files::FileResult save(const QString &path) const;

private:
    std::deque<QString> m_lines;
    std::deque<QString> m_rules;
    qint64 m_total = 0;
};

} // namespace vardex::service

#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// What the cabinet service tells its supervisor (systemd's notify socket).
namespace vardex::fleet {

class ServiceNotifier {
public:
    virtual ~ServiceNotifier() = default;
    // "READY=1\nSTATUS=…" and the like; the notifier adds nothing.
    virtual void notify(const QByteArray &state) = 0;
};

// "наблюдение за S/N …, последний опрос 3 с назад"; secondsAgo none: no poll answered yet.
QString statusText(const QString &serial, std::optional<qint64> secondsAgo, bool up);

// The message after a poll. READY=1 goes with the first answered poll, WATCHDOG=1
// with every answered one and never with an unanswered one: a hung link must let the
// supervisor's watchdog run out.
QByteArray pollNotice(bool answered, bool firstAnswer, const QString &status);

} // namespace vardex::fleet

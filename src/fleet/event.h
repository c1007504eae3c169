#pragma once

#include <QByteArray>
#include <QString>

#include <utility>
#include <vector>

// What the cabinet service tells the journal (and MQTT): one entry per thing that
// happened, each kind with a fixed message id so `journalctl MESSAGE_ID=…` finds them all.
namespace vardex::fleet {

enum class EventKind {
    ControllerArrived,
    ControllerLost,
    PollFailed,
    PollRecovered,
    AlarmRaised,
    AlarmCleared,
    InputChanged,
    Loan,     // the controller lent to another program or taken back
    Decision, // a decision of the ping watch
    LogRecord,
};

// syslog priorities, as the journal takes them.
enum class Priority { Error = 3, Warning = 4, Notice = 5, Info = 6 };

struct Event {
    EventKind kind = EventKind::Decision;
    QString message; // the plain line, Russian, as the operator reads it
    // VARDEX_* fields without the prefix (SERIAL, HOST, OUTPUT, REASON, …).
    std::vector<std::pair<QByteArray, QString>> fields;
};

// 32 hex digits, fixed per kind for good.
QByteArray messageId(EventKind kind);
Priority priority(EventKind kind);
// The kind's short name ("controller_arrived"), for MQTT and the fields.
QByteArray kindName(EventKind kind);

// The journal's fields of an event: MESSAGE, MESSAGE_ID, PRIORITY, VARDEX_EVENT and
// VARDEX_<field>. A field name that is no journal field name (A-Z, 0-9, _) is dropped.
std::vector<QByteArray> journalFields(const Event &event);

} // namespace vardex::fleet

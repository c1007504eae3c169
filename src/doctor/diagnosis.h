#pragma once

#include "doctor/system_state.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Why a controller cannot be opened, and what to do about it. Pure: the facts come
// from a probe of the system or from a test; the reasoning never asks the system.
namespace vardex::doctor {

enum class Verdict {
    Ok,
    Simulated, // the demo: the controller is simulated, real access does not matter
    NoDevice,
    NoRule,   // present, not accessible, no rule installed
    NoSeat,   // rule installed, but no ACL for this user: not at the local seat
    Busy,     // another program holds it
    NoAccess, // not accessible for another reason (mode, group)
    NoHidapi, // the HID library is missing
};

struct Check {
    QString what; // "Библиотека hidapi"
    bool ok = false;
    QString detail; // what was seen
    QString todo;   // what to do, when not ok
};

struct Diagnosis {
    Verdict verdict = Verdict::NoDevice;
    QString node;   // the controller's node, when present
    QString reason; // one line: "правило udev не установлено"
    QString remedy; // several lines: where and the commands
    QList<Check> checks;
};

Diagnosis diagnose(const SystemState &state);
// True when the verdict says the controller can be (or is) used.
bool usable(const Diagnosis &d);
// "Нет доступа к контроллеру: <reason>" (empty when there is nothing to say).
QString statusText(const Diagnosis &d);
// The checks as lines for a terminal: "[ ok ] …" / "[нет ] … — что делать".
QString reportText(const Diagnosis &d);

// Users named in a "system.posix_acl_access" extended attribute (version 2: a 4-byte
// header, then 8-byte entries tag/perm/id, little-endian). User ids only; the
// caller turns them into names. Nothing for a malformed value.
QList<unsigned> aclUserIds(const QByteArray &xattr);
// True when a rules file's text takes the controller (names its product string).
bool ruleTakesController(const QByteArray &text);
// The login as SSH describes it in the environment: SSH_CONNECTION ("client port
// server port"), else SSH_CLIENT, else SSH_TTY.
Login loginFromEnvironment(const QString &sshConnection, const QString &sshClient,
                           const QString &sshTty);

} // namespace vardex::doctor

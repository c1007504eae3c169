#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// Why a controller cannot be opened, and what to do about it. Pure: the facts come
// from a probe of the system (src/platform/system_probe.h) or from a test; the
// reasoning here never asks the system anything.
namespace vardex::link::doctor {

inline const QString kRuleFileName = QStringLiteral("70-quellbox.rules");
// Where udev looks for rules, in its order of precedence.
inline const QStringList kRuleFolders = {
    QStringLiteral("/etc/udev/rules.d"), QStringLiteral("/run/udev/rules.d"),
    QStringLiteral("/usr/local/lib/udev/rules.d"), QStringLiteral("/usr/lib/udev/rules.d"),
    QStringLiteral("/lib/udev/rules.d")};

// One hidraw node as the system reports it.
struct HidNode {
    QString path;      // /dev/hidraw3
    QString product;   // USB product string ("" when the parent has none)
    unsigned mode = 0; // permission bits (0660 …)
    QString owner;
    QString group;
    QStringList aclUsers; // users named in the node's access ACL (the seat's uaccess)
    bool canOpen = false; // read and write for this user
    int openErrno = 0;    // the error of a trial open, 0 when it opened
    QStringList holders;  // programs that hold the node open ("name (pid)")
};

struct SystemState {
    bool hidapiAvailable = false;
    bool udevAvailable = false;
    bool monitorWorks = false; // a udev monitor on hidraw could be set up
    QString userName;
    bool userInGroupOfNode = false; // of the controller's node, when there is one
    QList<HidNode> nodes;
    QStringList rulesFound; // rule files that name "Quellbox", with their folder
};

enum class Verdict {
    Ok,
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

} // namespace vardex::link::doctor

#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// What the connection doctor reasons about: the facts a probe of the system
// (src/platform/system_probe.h) gathers, plus what the program's own link knows.
// Plain data, so tests craft any machine they like.
namespace vardex::doctor {

inline const QString kProduct = QStringLiteral("Quellbox");
inline const QString kRuleFileName = QStringLiteral("70-quellbox.rules");
// The group-based alternative for hosts reached over SSH; shipped, not enabled.
inline const QString kGroupRuleFileName = QStringLiteral("71-quellbox-group.rules");
inline const QString kGroupRuleShipped =
    QStringLiteral("/usr/share/vardex/udev/") + kGroupRuleFileName;
inline const QString kAccessGroup = QStringLiteral("plugdev");
// Where udev looks for rules, in its order of precedence.
inline const QStringList kRuleFolders = {
    QStringLiteral("/etc/udev/rules.d"), QStringLiteral("/run/udev/rules.d"),
    QStringLiteral("/usr/local/lib/udev/rules.d"), QStringLiteral("/usr/lib/udev/rules.d"),
    QStringLiteral("/lib/udev/rules.d")};

// One hidraw node as the system reports it. Nothing here comes from opening a node:
// the permission is the kernel's answer to an access check.
struct HidNode {
    QString path;      // /dev/hidraw3
    QString product;   // USB product string ("" when the parent has none)
    unsigned mode = 0; // permission bits (0660 …)
    QString owner;
    QString group;
    QStringList aclUsers;   // users named in the node's access ACL (the seat's uaccess)
    bool readWrite = false; // this user may read and write it
    QStringList holders;    // programs that hold it open ("name (pid)"); controllers only
};

// How the user reached this computer.
struct Login {
    bool overSsh = false;
    QString from; // the client's address, when the login says it
};

// What the program's own link says (filled on the GUI thread, never by the probe).
struct LinkFacts {
    bool connected = false;
    QString device;         // the device the link holds, when connected
    bool simulated = false; // the demo's simulated controller
    QString openError;      // the system's words for the last failed open
};

struct SystemState {
    bool hidapiAvailable = false;
    bool udevAvailable = false;
    bool monitorWorks = false; // a udev monitor on hidraw could be set up
    QString userName;
    bool userInGroupOfNode = false; // of the controller's node, when there is one
    Login login;
    QList<HidNode> nodes;
    QStringList rulesFound; // rule files that name "Quellbox", with their folder
    // Controllers whose owner lock another program holds: "holder (pid N)" each; the
    // folder of the locks, empty when there is none (programs then open unguarded).
    QStringList owners;
    QString ownerLockDir;
    LinkFacts link;
};

} // namespace vardex::doctor

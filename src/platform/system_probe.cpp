#include "platform/system_probe.h"

#include "doctor/diagnosis.h"
#include "files/file_io.h"
#include "platform/hidapi_transport.h"
#include "platform/owner_lock.h"
#include "platform/udev_monitor.h"

#include <QDir>
#include <QFileInfo>

#include <libudev.h>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <vector>

namespace vardex::platform {

using doctor::HidNode;
using doctor::SystemState;

namespace {

constexpr qint64 kRuleFileLimit = 256 * 1024;

QString userName(uid_t uid)
{
    const passwd *pw = getpwuid(uid);
    return pw ? QString::fromLocal8Bit(pw->pw_name) : QString::number(uid);
}

QString groupName(gid_t gid)
{
    const group *gr = getgrgid(gid);
    return gr ? QString::fromLocal8Bit(gr->gr_name) : QString::number(gid);
}

bool inGroup(gid_t gid)
{
    if (getegid() == gid)
        return true;
    const int n = getgroups(0, nullptr);
    if (n <= 0)
        return false;
    std::vector<gid_t> groups(static_cast<std::size_t>(n));
    const int got = getgroups(n, groups.data());
    for (int i = 0; i < got; ++i)
        if (groups[static_cast<std::size_t>(i)] == gid)
            return true;
    return false;
}

// Programs (of those we may look at) with the node open.
QStringList holdersOf(const QString &node)
{
    QStringList holders;
    const QString self = QString::number(getpid());
    const QDir proc(QStringLiteral("/proc"));
    for (const QString &pid : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (pid == self || !pid.front().isDigit())
            continue;
        const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
        for (const QFileInfo &fd :
             fds.entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot)) {
            if (fd.symLinkTarget() != node)
                continue;
            const auto comm = files::readBounded(QStringLiteral("/proc/%1/comm").arg(pid), 64);
            holders << QStringLiteral("%1 (%2)").arg(QString::fromLocal8Bit(comm.bytes).trimmed(),
                                                     pid);
            break;
        }
    }
    return holders;
}

HidNode probeNode(udev_device *dev)
{
    HidNode n;
    n.path = QString::fromLocal8Bit(udev_device_get_devnode(dev));
    if (udev_device *usb = udev_device_get_parent_with_subsystem_devtype(dev, "usb", "usb_device"))
        if (const char *product = udev_device_get_sysattr_value(usb, "product"))
            n.product = QString::fromUtf8(product).trimmed();
    const QByteArray path = n.path.toLocal8Bit();
    struct stat st = {};
    if (stat(path.constData(), &st) == 0) {
        n.mode = st.st_mode & 07777;
        n.owner = userName(st.st_uid);
        n.group = groupName(st.st_gid);
    }
    char acl[512];
    const ssize_t aclSize = getxattr(path.constData(), "system.posix_acl_access", acl, sizeof acl);
    if (aclSize > 0)
        for (unsigned uid : doctor::aclUserIds(QByteArray(acl, static_cast<int>(aclSize))))
            n.aclUsers << userName(uid);
    // The kernel's own permission check, ACLs included; nothing is opened, so no
    // other device (keyboard, security key) ever sees us.
    n.readWrite = faccessat(AT_FDCWD, path.constData(), R_OK | W_OK, AT_EACCESS) == 0;
    // Only the controller's holders matter, and a scan of /proc costs.
    if (n.product == doctor::kProduct)
        n.holders = holdersOf(n.path);
    return n;
}

} // namespace

SystemState probeSystem(const QStringList &ruleFolders)
{
    SystemState s;
    s.userName = userName(geteuid());
    s.login = doctor::loginFromEnvironment(qEnvironmentVariable("SSH_CONNECTION"),
                                           qEnvironmentVariable("SSH_CLIENT"),
                                           qEnvironmentVariable("SSH_TTY"));
    s.hidapiAvailable = link::hidapiUsable();
    s.ownerLockDir = platform::ownerLockDir();
    for (const platform::HeldController &h : platform::heldControllers(s.ownerLockDir))
        s.owners << link::holderText(h.holder);

    udev *u = udev_new();
    s.udevAvailable = u != nullptr;
    if (u) {
        udev_enumerate *e = udev_enumerate_new(u);
        udev_enumerate_add_match_subsystem(e, "hidraw");
        udev_enumerate_scan_devices(e);
        udev_list_entry *entry = nullptr;
        udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(e))
        {
            udev_device *dev = udev_device_new_from_syspath(u, udev_list_entry_get_name(entry));
            if (!dev)
                continue;
            if (udev_device_get_devnode(dev))
                s.nodes.append(probeNode(dev));
            udev_device_unref(dev);
        }
        udev_enumerate_unref(e);
        udev_unref(u);
    }
    {
        link::UdevMonitor monitor;
        s.monitorWorks = monitor.start("hidraw");
    }
    for (const HidNode &n : s.nodes) {
        if (n.product != doctor::kProduct)
            continue;
        struct stat st = {};
        if (stat(n.path.toLocal8Bit().constData(), &st) == 0)
            s.userInGroupOfNode = inGroup(st.st_gid) && (st.st_mode & 0060) == 0060;
        break;
    }
    QStringList seen;
    for (const QString &folder : ruleFolders) {
        const QDir dir(folder);
        for (const QString &name : dir.entryList({QStringLiteral("*.rules")}, QDir::Files)) {
            const auto read = files::readBounded(dir.filePath(name), kRuleFileLimit);
            // /lib is /usr/lib on merged systems: one file, named once.
            const QString real = QFileInfo(dir.filePath(name)).canonicalFilePath();
            if (read.ok && doctor::ruleTakesController(read.bytes) && !seen.contains(real)) {
                seen << real;
                s.rulesFound << dir.filePath(name);
            }
        }
    }
    return s;
}

} // namespace vardex::platform

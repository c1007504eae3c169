#include "link/connection_doctor.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace vardex::link::doctor;

namespace {

// A healthy machine with the controller plugged in and the rule installed; each
// test breaks one thing.
SystemState healthy()
{
    SystemState s;
    s.hidapiAvailable = true;
    s.udevAvailable = true;
    s.monitorWorks = true;
    s.userName = QStringLiteral("engineer");
    HidNode keyboard;
    keyboard.path = QStringLiteral("/dev/hidraw0");
    keyboard.product = QStringLiteral("USB Keyboard");
    HidNode controller;
    controller.path = QStringLiteral("/dev/hidraw3");
    controller.product = QStringLiteral("Quellbox");
    controller.mode = 0600;
    controller.owner = controller.group = QStringLiteral("root");
    controller.aclUsers = {QStringLiteral("engineer")};
    controller.canOpen = true;
    s.nodes = {keyboard, controller};
    s.rulesFound = {QStringLiteral("/usr/lib/udev/rules.d/70-quellbox.rules")};
    return s;
}

HidNode &controller(SystemState &s)
{
    return s.nodes[1];
}

const Check *check(const Diagnosis &d, const QString &what)
{
    for (const Check &c : d.checks)
        if (c.what == what)
            return &c;
    return nullptr;
}

} // namespace

TEST(ConnectionDoctor, EverythingFine)
{
    const Diagnosis d = diagnose(healthy());
    EXPECT_EQ(d.verdict, Verdict::Ok);
    EXPECT_EQ(d.node, "/dev/hidraw3");
    EXPECT_TRUE(statusText(d).isEmpty());
    for (const Check &c : d.checks)
        EXPECT_TRUE(c.ok) << c.what.toStdString();
    EXPECT_TRUE(reportText(d).contains("/dev/hidraw0 «USB Keyboard»"));
}

TEST(ConnectionDoctor, NoDeviceSaysPlugItIn)
{
    SystemState s = healthy();
    s.nodes.removeLast();
    const Diagnosis d = diagnose(s);
    EXPECT_EQ(d.verdict, Verdict::NoDevice);
    EXPECT_TRUE(statusText(d).isEmpty()) << "nothing present: no access problem to report";
    EXPECT_FALSE(check(d, "Устройства HID")->ok);
}

TEST(ConnectionDoctor, NoPermissionAndNoRuleNamesWhereTheRuleGoes)
{
    SystemState s = healthy();
    s.rulesFound.clear();
    controller(s).aclUsers.clear();
    controller(s).canOpen = false;
    controller(s).openErrno = EACCES;
    const Diagnosis d = diagnose(s);
    EXPECT_EQ(d.verdict, Verdict::NoRule);
    EXPECT_TRUE(statusText(d).startsWith("Нет доступа к контроллеру: правило udev не установлено"));
    EXPECT_TRUE(d.remedy.contains("/etc/udev/rules.d")) << d.remedy.toStdString();
    EXPECT_TRUE(d.remedy.contains("udevadm control --reload-rules"));
    EXPECT_TRUE(d.remedy.contains("udevadm trigger"));
    EXPECT_FALSE(check(d, "Правило udev")->ok);
    EXPECT_FALSE(check(d, "Узел контроллера")->ok);
    EXPECT_TRUE(check(d, "Узел контроллера")->detail.contains("0600 root:root без ACL"));
}

TEST(ConnectionDoctor, RulePresentButNoSeatAclPointsAtTheSeat)
{
    SystemState s = healthy();
    controller(s).aclUsers = {QStringLiteral("someone-else")};
    controller(s).canOpen = false;
    controller(s).openErrno = EACCES;
    const Diagnosis d = diagnose(s);
    EXPECT_EQ(d.verdict, Verdict::NoSeat);
    EXPECT_TRUE(d.reason.contains("engineer"));
    EXPECT_TRUE(d.reason.contains("нет ACL"));
    EXPECT_TRUE(d.remedy.contains("usermod -aG plugdev engineer"));
    // In the node's group the seat does not matter: then it is the mode.
    s.userInGroupOfNode = true;
    EXPECT_EQ(diagnose(s).verdict, Verdict::NoAccess);
}

TEST(ConnectionDoctor, AnotherProgramHoldingTheDevice)
{
    SystemState s = healthy();
    controller(s).canOpen = false;
    controller(s).openErrno = EBUSY;
    controller(s).holders = {QStringLiteral("vardex (4242)")};
    const Diagnosis d = diagnose(s);
    EXPECT_EQ(d.verdict, Verdict::Busy);
    EXPECT_TRUE(d.remedy.contains("vardex (4242)"));
}

TEST(ConnectionDoctor, MissingLibrariesAndMonitorAreReported)
{
    SystemState s = healthy();
    s.hidapiAvailable = false;
    s.monitorWorks = false;
    const Diagnosis d = diagnose(s);
    EXPECT_EQ(d.verdict, Verdict::NoHidapi);
    EXPECT_FALSE(check(d, "Монитор udev")->ok);
    EXPECT_TRUE(reportText(d).contains("systemd-udevd"));
}

TEST(ConnectionDoctor, SecondControllerThatOpensIsPreferred)
{
    SystemState s = healthy();
    HidNode locked = controller(s);
    locked.path = QStringLiteral("/dev/hidraw1");
    locked.canOpen = false;
    s.nodes.insert(1, locked);
    EXPECT_EQ(diagnose(s).node, "/dev/hidraw3");
}

TEST(ConnectionDoctorAcl, UserEntriesWithReadAndWrite)
{
    // version 2; USER_OBJ rw; USER 1000 rw; USER 1001 r only; GROUP_OBJ; MASK rw; OTHER.
    const unsigned char raw[] = {2,    0, 0, 0,                         //
                                 1,    0, 6, 0, 0xff, 0xff, 0xff, 0xff, //
                                 2,    0, 6, 0, 0xe8, 3,    0,    0,    //
                                 2,    0, 4, 0, 0xe9, 3,    0,    0,    //
                                 4,    0, 0, 0, 0xff, 0xff, 0xff, 0xff, //
                                 0x10, 0, 6, 0, 0xff, 0xff, 0xff, 0xff, //
                                 0x20, 0, 0, 0, 0xff, 0xff, 0xff, 0xff};
    const QByteArray x(reinterpret_cast<const char *>(raw), sizeof raw);
    EXPECT_EQ(aclUserIds(x), QList<unsigned>{1000});
    EXPECT_TRUE(aclUserIds(x.left(10)).isEmpty()) << "a torn entry";
    QByteArray v1 = x;
    v1[0] = 1;
    EXPECT_TRUE(aclUserIds(v1).isEmpty());
    EXPECT_TRUE(aclUserIds({}).isEmpty());
}

TEST(ConnectionDoctorAcl, RuleFilesThatTakeTheController)
{
    EXPECT_TRUE(ruleTakesController("SUBSYSTEM==\"hidraw\", ACTION==\"add|change\", "
                                    "ATTRS{product}==\"Quellbox\", TAG+=\"uaccess\"\n"));
    EXPECT_FALSE(ruleTakesController("# SUBSYSTEM==\"hidraw\", ATTRS{product}==\"Quellbox\"\n"));
    EXPECT_FALSE(ruleTakesController("SUBSYSTEM==\"usb\", ATTRS{product}==\"Other\"\n"));
}

#include "doctor/diagnosis.h"
#include "doctor_states.h"

#include <gtest/gtest.h>

#include <functional>

using namespace vardex::doctor;
using vardex::test::healthyMachine;

namespace {

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

// One crafted machine: what breaks, the verdict, and words that reason and remedy must
// hold so the engineer knows what happened and what to type.
struct Case {
    const char *name;
    std::function<void(SystemState &)> breakIt;
    Verdict verdict;
    QStringList inReason;
    QStringList inRemedy;
};

class DoctorVerdicts : public testing::TestWithParam<Case> {};

const Case kCases[] = {
    {"healthy", [](SystemState &) {}, Verdict::Ok, {}, {}},
    {"unplugged",
     [](SystemState &s) { s.nodes.removeLast(); },
     Verdict::NoDevice,
     {"контроллер не подключён"},
     {"USB"}},
    {"no rule",
     [](SystemState &s) {
         s.rulesFound.clear();
         controller(s).aclUsers.clear();
         controller(s).readWrite = false;
     },
     Verdict::NoRule,
     {"правило udev не установлено", "/dev/hidraw3"},
     {"/etc/udev/rules.d", "udevadm control --reload-rules", "udevadm trigger"}},
    {"rule without seat ACL",
     [](SystemState &s) {
         controller(s).aclUsers = {QStringLiteral("someone-else")};
         controller(s).readWrite = false;
     },
     Verdict::NoSeat,
     {"engineer", "нет ACL"},
     {"локальным рабочим местом", "usermod -aG plugdev engineer",
      "/usr/share/vardex/udev/71-quellbox-group.rules"}},
    {"login over SSH",
     [](SystemState &s) {
         controller(s).aclUsers.clear();
         controller(s).readWrite = false;
         s.login = {true, QStringLiteral("192.0.2.7")};
     },
     Verdict::NoSeat,
     {"вход по SSH с 192.0.2.7", "нет ACL на /dev/hidraw3"},
     {"Вы вошли по SSH", "71-quellbox-group.rules", "usermod -aG plugdev engineer"}},
    {"group rule, user not in the group",
     [](SystemState &s) {
         controller(s).group = QStringLiteral("plugdev");
         controller(s).mode = 0660;
         controller(s).aclUsers.clear();
         controller(s).readWrite = false;
     },
     Verdict::NoAccess,
     {"не в группе plugdev"},
     {"usermod -aG plugdev engineer", "войдите заново"}},
    {"held by another program",
     [](SystemState &s) {
         controller(s).readWrite = false;
         controller(s).holders = {QStringLiteral("vardex (4242)")};
     },
     Verdict::Busy,
     {"занято"},
     {"vardex (4242)"}},
    {"no hidapi",
     [](SystemState &s) { s.hidapiAvailable = false; },
     Verdict::NoHidapi,
     {"hidapi"},
     {"libhidapi-hidraw0"}},
    // The demo: its controller is simulated and connected, whatever hidraw holds.
    {"demo",
     [](SystemState &s) {
         s.nodes.removeLast();
         s.link = {true, QStringLiteral("sim:demo"), true, {}};
     },
     Verdict::Simulated,
     {"симулирован", "подключен"},
     {}},
    // The link holds the controller: whatever the probe saw a moment later.
    {"connected while the probe missed it",
     [](SystemState &s) {
         s.nodes.removeLast();
         s.link.connected = true;
         s.link.device = QStringLiteral("/dev/hidraw3");
     },
     Verdict::Ok,
     {},
     {}},
};

} // namespace

TEST_P(DoctorVerdicts, NamesTheReasonAndWhatToDo)
{
    const Case &c = GetParam();
    SystemState s = healthyMachine();
    c.breakIt(s);
    const Diagnosis d = diagnose(s);
    EXPECT_EQ(d.verdict, c.verdict);
    for (const QString &word : c.inReason)
        EXPECT_TRUE(d.reason.contains(word))
            << d.reason.toStdString() << " / " << word.toStdString();
    for (const QString &word : c.inRemedy)
        EXPECT_TRUE(d.remedy.contains(word))
            << d.remedy.toStdString() << " / " << word.toStdString();
    // The status line speaks only of access problems, never of a usable or absent one.
    const bool quiet = usable(d) || d.verdict == Verdict::NoDevice;
    EXPECT_EQ(statusText(d).isEmpty(), quiet);
    if (!quiet) {
        EXPECT_TRUE(statusText(d).startsWith("Нет доступа к контроллеру: " + d.reason));
    }
    // The terminal report ends with the same verdict.
    EXPECT_TRUE(
        reportText(d).contains(d.verdict == Verdict::Ok ? QStringLiteral("доступен") : d.reason));
}

INSTANTIATE_TEST_SUITE_P(CraftedMachines, DoctorVerdicts, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case> &info) {
                             std::string name = info.param.name;
                             for (char &ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return name;
                         });

TEST(ConnectionDoctor, ChecksListEveryNodeAndMarkWhatFailed)
{
    SystemState s = vardex::test::lockedWithoutRule();
    const Diagnosis d = diagnose(s);
    EXPECT_FALSE(check(d, "Правило udev")->ok);
    EXPECT_FALSE(check(d, "Узел контроллера")->ok);
    EXPECT_TRUE(check(d, "Узел контроллера")->detail.contains("0600 root:root без ACL"));
    EXPECT_TRUE(check(d, "Вход в систему")->ok) << "a local session is not the problem";
    EXPECT_TRUE(reportText(d).contains("/dev/hidraw0 «USB Keyboard»"));
    // Over SSH the login is named as what keeps the seat's ACL away.
    s.login = {true, {}};
    const Diagnosis overSsh = diagnose(s);
    const Check *login = check(overSsh, "Вход в систему");
    EXPECT_FALSE(login->ok);
    EXPECT_EQ(login->detail, "вход по SSH");
}

TEST(ConnectionDoctor, DemoSaysTheControllerIsSimulatedNeverThatItIsMissing)
{
    SystemState s; // a machine without any HID device at all
    s.link = {true, QStringLiteral("sim:demo"), true, {}};
    const Diagnosis d = diagnose(s);
    EXPECT_EQ(d.verdict, Verdict::Simulated);
    EXPECT_FALSE(d.reason.contains("не подключ")) << d.reason.toStdString();
    EXPECT_TRUE(check(d, "Контроллер")->ok);
    EXPECT_TRUE(check(d, "Контроллер")->detail.contains("sim:demo"));
    // Before the demo plugs its controller in, it says it is still to come.
    s.link.connected = false;
    EXPECT_TRUE(diagnose(s).reason.contains("ещё не подключен"));
}

TEST(ConnectionDoctor, InTheNodesGroupTheSeatDoesNotMatter)
{
    SystemState s = healthyMachine();
    controller(s).aclUsers = {QStringLiteral("someone-else")};
    controller(s).readWrite = false;
    s.userInGroupOfNode = true;
    EXPECT_EQ(diagnose(s).verdict, Verdict::NoAccess);
}

TEST(ConnectionDoctor, SecondControllerThatOpensIsPreferred)
{
    SystemState s = healthyMachine();
    HidNode locked = controller(s);
    locked.path = QStringLiteral("/dev/hidraw1");
    locked.readWrite = false;
    s.nodes.insert(1, locked);
    EXPECT_EQ(diagnose(s).node, "/dev/hidraw3");
}

TEST(ConnectionDoctorLogin, SshIsToldByItsEnvironment)
{
    const struct {
        const char *connection, *client, *tty;
        bool overSsh;
        const char *from;
    } cases[] = {
        {"", "", "", false, ""},
        {"192.0.2.7 50022 192.0.2.1 22", "", "", true, "192.0.2.7"},
        {"", "2001:db8::5 50022 22", "", true, "2001:db8::5"},
        {"", "", "/dev/pts/3", true, ""},
        {"   ", "", "", false, ""},
    };
    for (const auto &c : cases) {
        const Login l = loginFromEnvironment(QString::fromUtf8(c.connection),
                                             QString::fromUtf8(c.client), QString::fromUtf8(c.tty));
        EXPECT_EQ(l.overSsh, c.overSsh) << c.connection << "|" << c.client << "|" << c.tty;
        EXPECT_EQ(l.from, QString::fromUtf8(c.from));
    }
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

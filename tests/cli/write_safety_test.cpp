// Every write from the command line is whole, checked and told truthfully: each case
// runs vardex-cli in-process against the simulated controller and then looks at what
// the controller holds.
#include "cli/invocation.h"
#include "cli_rig.h"
#include "link/protocol.h"
#include "sim/scenarios.h"
#include "support/test_support.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace vardex;
using test::CliRig;
namespace protocol = link::protocol;

namespace {

struct Memory {
    std::vector<std::vector<std::uint8_t>> configPages;
    std::vector<sim::LoopRecord> loops;
    std::vector<std::array<std::uint8_t, 12>> loopExts;
    bool operator==(const Memory &) const = default;
};

Memory memoryOf(CliRig &rig)
{
    Memory m;
    rig.sim->withFirmware(sim::kDemoDeviceId, [&](sim::Firmware &f) {
        for (int p = 0; p < sim::ConfigPages::kPages; ++p) {
            const auto page = f.config().page(p);
            m.configPages.emplace_back(page.begin(), page.end());
        }
        for (int n = 1; n <= link::kLoopCount; ++n) {
            m.loops.push_back(f.loop(n));
            m.loopExts.push_back(f.loopExt(n));
        }
    });
    return m;
}

int requestsWithCode(CliRig &rig, int code)
{
    int n = 0;
    for (const auto &p : rig.sim->receivedRequests(sim::kDemoDeviceId))
        n += p[link::pos::Code] == code;
    return n;
}

// A file the command line read from the controller, to build variants from.
QByteArray controllerFile(const char *name, const char *command)
{
    CliRig reader;
    const QString path = test::tempPath(QString::fromLatin1(name));
    EXPECT_EQ(reader.run({"--demo", command, "read", path}).exitCode, 0);
    return test::readFile(path);
}

} // namespace

// ---- files that are not whole -----------------------------------------------------------

struct WrongSizeCase {
    const char *what;
    const char *command; // config / loops
    const char *suffix;
    int size;
    int writeCode; // the write request that must never go out
};

class CliWrongSize : public ::testing::TestWithParam<WrongSizeCase> {};

TEST_P(CliWrongSize, IsRefusedWithExitTwoAndTheControllerKeepsItsSettings)
{
    const WrongSizeCase &c = GetParam();
    const QString path = test::tempPath(QStringLiteral("odd-%1.%2").arg(c.size).arg(c.suffix));
    test::writeFile(path, QByteArray(c.size, '\x11'));
    for (const char *verb : {"write", "diff"}) {
        CliRig rig;
        const Memory before = memoryOf(rig);
        const auto run = rig.run({"--demo", c.command, verb, path});
        EXPECT_EQ(run.exitCode, 2) << verb;
        EXPECT_TRUE(run.err.contains(QFileInfo(path).fileName())) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QString::number(c.size))) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(c.command == QLatin1String("config") ? "224" : "2132"))
            << run.err.toStdString();
        EXPECT_EQ(requestsWithCode(rig, c.writeCode), 0);
        EXPECT_TRUE(memoryOf(rig) == before);
    }
}

INSTANTIATE_TEST_SUITE_P(
    EmptyShortAndForeignFiles, CliWrongSize,
    ::testing::Values(WrongSizeCase{"empty cfg", "config", "cfg", 0, 9},
                      WrongSizeCase{"short cfg", "config", "cfg", 100, 9},
                      WrongSizeCase{"a loop file renamed", "config", "cfg", 2132, 9},
                      WrongSizeCase{"empty upr", "loops", "upr", 0, 7},
                      WrongSizeCase{"a configuration renamed", "loops", "upr", 224, 7},
                      WrongSizeCase{"one byte short", "loops", "upr", 2443, 7}),
    [](const auto &info) {
        std::string n = info.param.what;
        for (char &ch : n)
            if (!std::isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return n;
    });

TEST(CliOverlay, LaysTheFilesLeadingBytesOverWhatTheControllerHolds)
{
    const QString path = test::tempPath(QStringLiteral("overlay.cfg"));
    // The versions, the number and the enable masks: bytes 0..11 of the controller's own.
    QByteArray head = controllerFile("overlay-source.cfg", "config").left(12);
    head[2] = 77; // HardwareConfigNumber
    test::writeFile(path, head);
    CliRig rig;
    const Memory before = memoryOf(rig);
    const auto run = rig.run({"--demo", "--overlay", "config", "write", path});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const Memory after = memoryOf(rig);
    EXPECT_EQ(after.configPages[0][2], 77);
    // Everything past the file's 12 bytes is the controller's own (pages 1..3).
    for (int p = 1; p < 4; ++p)
        EXPECT_EQ(after.configPages[p], before.configPages[p]) << p;
    EXPECT_TRUE(after.loops == before.loops);
}

TEST(CliLoopsWrite, AFileWithoutExtendedRecordsKeepsTheControllersOnes)
{
    QByteArray file = controllerFile("main-only.upr", "loops").left(2132);
    ASSERT_EQ(file.size(), 2132);
    file[82 * 12] = char(0x0F); // loop 13's contact mask
    const QString path = test::tempPath(QStringLiteral("main-only.upr"));
    test::writeFile(path, file);

    CliRig rig;
    rig.sim->withFirmware(sim::kDemoDeviceId, [](sim::Firmware &f) {
        f.setLoopExt(13, {0x34, 0x12, 0x78, 0x56, 3, 255, 0, 40, 0, 0, 1, 0});
    });
    const Memory before = memoryOf(rig);
    const auto run = rig.run({"--demo", "loops", "write", path});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const Memory after = memoryOf(rig);
    EXPECT_TRUE(after.loopExts == before.loopExts);
    EXPECT_EQ(after.loops[12].contactUse, 0x0F);
}

// ---- outputs ------------------------------------------------------------------------------

struct OutputsCase {
    const char *what;
    QStringList items;
    int exitCode;
    link::OutputTask expected; // from relays 1,3 on, switch h2, fans 40/50 %
};

class CliOutputsSet : public ::testing::TestWithParam<OutputsCase> {};

TEST_P(CliOutputsSet, ChangesOnlyWhatItNames)
{
    const OutputsCase &c = GetParam();
    CliRig rig;
    rig.sim->withFirmware(sim::kDemoDeviceId, [](sim::Firmware &f) {
        link::OutputTask t;
        t.relaysTask = 0x05;
        t.switchesTask = 0x02;
        t.fanTask = {40, 50, 0, 0};
        f.handle(protocol::writeOutputTask(t));
    });
    rig.sim->clearReceivedRequests(sim::kDemoDeviceId);
    const auto run = rig.run(QStringList{"--demo", "outputs", "set"} + c.items);
    EXPECT_EQ(run.exitCode, c.exitCode) << run.err.toStdString();
    sim::OutputTask held;
    rig.sim->withFirmware(sim::kDemoDeviceId, [&](sim::Firmware &f) { held = f.outputTask(); });
    EXPECT_EQ(held.relays, c.expected.relaysTask);
    EXPECT_EQ(held.switches, c.expected.switchesTask);
    EXPECT_EQ(held.ttlOutputs, c.expected.ttlOutputsTask);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(held.fans[i], c.expected.fanTask[i]) << i;
    if (c.exitCode == 2) {
        EXPECT_EQ(requestsWithCode(rig, protocol::code::OutputTask), 0);
    }
}

link::OutputTask task(std::uint8_t relays, std::uint8_t switches, std::uint8_t ttl,
                      std::array<std::uint8_t, 4> fans)
{
    link::OutputTask t;
    t.relaysTask = relays;
    t.switchesTask = switches;
    t.ttlOutputsTask = ttl;
    t.fanTask = fans;
    return t;
}

INSTANTIATE_TEST_SUITE_P(
    NamedOutputsOnly, CliOutputsSet,
    ::testing::Values(
        OutputsCase{"nothing named", {}, 2, task(0x05, 0x02, 0, {40, 50, 0, 0})},
        OutputsCase{"empty family", {"relay="}, 2, task(0x05, 0x02, 0, {40, 50, 0, 0})},
        OutputsCase{"one fan", {"fan1=60"}, 0, task(0x05, 0x02, 0, {60, 50, 0, 0})},
        OutputsCase{"one relay off", {"relay3=off"}, 0, task(0x01, 0x02, 0, {40, 50, 0, 0})},
        OutputsCase{"a switch and a ttl",
                    {"switch-l1=on", "ttl8=on"},
                    0,
                    task(0x05, 0x12, 0x80, {40, 50, 0, 0})},
        OutputsCase{"whole family", {"relay=2"}, 0, task(0x02, 0x02, 0, {40, 50, 0, 0})},
        OutputsCase{"all off", {"all-off"}, 0, task(0, 0, 0, {0, 0, 0, 0})}),
    [](const auto &info) {
        std::string n = info.param.what;
        for (char &ch : n)
            if (!std::isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return n;
    });

// ---- clock --------------------------------------------------------------------------------

TEST(CliClockSync, AWriteClockThatDidNotTakeIsAFailureAndASetOneIsChecked)
{
    CliRig lost;
    lost.sim->withFirmware(sim::kDemoDeviceId, [](sim::Firmware &f) {
        f.setClock(QDateTime(QDate(2011, 1, 1), QTime(0, 0), Qt::UTC));
    });
    // The controller refuses the write: its clock stays in 2011.
    lost.sim->addFault(sim::kDemoDeviceId,
                       {sim::Fault::Kind::ErrorReply, protocol::code::WriteClock});
    const auto failed = lost.run({"--demo", "--json", "clock", "sync"});
    EXPECT_EQ(failed.exitCode, 1) << failed.out.toStdString();
    EXPECT_FALSE(failed.err.isEmpty());
    QDateTime held;
    lost.sim->withFirmware(sim::kDemoDeviceId, [&](sim::Firmware &f) { held = f.clock(); });
    EXPECT_EQ(held.date().year(), 2011); // the controller really kept its clock

    CliRig fine;
    const auto ok = fine.run({"--demo", "--json", "clock", "sync"});
    ASSERT_EQ(ok.exitCode, 0) << ok.err.toStdString();
    EXPECT_LE(std::abs(CliRig::json(ok)["offsetSeconds"].toInt(99)), 2);
}

// ---- diff -----------------------------------------------------------------------------------

TEST(CliDiff, SaysWhatAWriteWouldChangeAndChangesNothing)
{
    QByteArray cfg = controllerFile("diff.cfg", "config");
    const QString same = test::tempPath(QStringLiteral("diff-same.cfg"));
    test::writeFile(same, cfg);
    cfg[2] = char(cfg[2] + 1); // HardwareConfigNumber
    const QString other = test::tempPath(QStringLiteral("diff-other.cfg"));
    test::writeFile(other, cfg);
    QByteArray upr = controllerFile("diff.upr", "loops");
    upr[2132 + 12 * 12 + 2] = char(upr[2132 + 12 * 12 + 2] + 5); // loop 13 TimerOn
    const QString loops = test::tempPath(QStringLiteral("diff-other.upr"));
    test::writeFile(loops, upr);

    struct Case {
        QStringList args;
        int exitCode;
        QString field;
        int loop;
    };
    const Case cases[] = {{{"config", "diff", same}, 0, {}, 0},
                          {{"config", "diff", other}, 1, "hardwareConfigNumber", 0},
                          {{"loops", "diff", loops}, 1, "timerOn", 13}};
    for (const Case &c : cases) {
        CliRig rig;
        const Memory before = memoryOf(rig);
        const auto run = rig.run(QStringList{"--demo", "--json"} + c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err.toStdString();
        const QJsonArray changes = CliRig::json(run)["changes"].toArray();
        if (c.field.isEmpty()) {
            EXPECT_TRUE(changes.isEmpty()) << run.out.toStdString();
        } else {
            ASSERT_EQ(changes.size(), 1) << run.out.toStdString();
            EXPECT_EQ(changes[0].toObject()["field"].toString(), c.field);
            EXPECT_EQ(changes[0].toObject()["loop"].toInt(), c.loop);
        }
        EXPECT_EQ(requestsWithCode(rig, 9) + requestsWithCode(rig, 7), 0);
        EXPECT_TRUE(memoryOf(rig) == before);
    }
}

TEST(CliDiff, AControllerThatRefusesOrIsSilentIsNeitherSameNorDifferent)
{
    const QString cfg = test::tempPath(QStringLiteral("diff-fault.cfg"));
    test::writeFile(cfg, controllerFile("diff-fault.cfg", "config"));
    const QString upr = test::tempPath(QStringLiteral("diff-fault.upr"));
    test::writeFile(upr, controllerFile("diff-fault.upr", "loops"));
    const struct {
        QStringList args;
        sim::Fault fault;
    } cases[] = {
        {{"config", "diff", cfg}, {sim::Fault::Kind::Drop, protocol::code::ConfigPage}},
        {{"config", "diff", cfg}, {sim::Fault::Kind::ErrorReply, protocol::code::ConfigPage}},
        {{"loops", "diff", upr}, {sim::Fault::Kind::ErrorReply, protocol::code::Loop}},
    };
    for (const auto &c : cases) {
        CliRig rig;
        rig.sim->addFault(sim::kDemoDeviceId, c.fault);
        const auto run = rig.run(QStringList{"--demo"} + c.args);
        EXPECT_EQ(run.exitCode, cli::kExitDiffUnknown) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QStringLiteral("контроллер"))) << run.err.toStdString();
    }
}

// ---- black box and log target ---------------------------------------------------------------

TEST(CliBlackbox, PrintsTheDecodedCountersTheWindowShows)
{
    CliRig rig;
    const auto text = rig.run({"--demo", "blackbox"});
    ASSERT_EQ(text.exitCode, 0) << text.err.toStdString();
    EXPECT_TRUE(text.out.contains("Конфигурация")) << text.out.toStdString();
    EXPECT_TRUE(text.out.contains("12 21-2-12 9:30:0")) << text.out.toStdString();
    CliRig again;
    const auto json = CliRig::json(again.run({"--demo", "--json", "blackbox"}));
    EXPECT_EQ(json["configUpdates"].toObject()["count"].toInt(), 12);
    EXPECT_EQ(json["powerOns"].toInt(), 152);
}

TEST(CliLogRead, ATargetThatCannotBeWrittenIsRefusedBeforeTheRead)
{
    const QString folder = test::tempPath(QStringLiteral("folder.log"));
    QDir().mkpath(folder);
    const QString readOnly = test::tempPath(QStringLiteral("read-only.log"));
    test::writeFile(readOnly, "x");
    QFile(readOnly).setPermissions(QFileDevice::ReadOwner);
    QStringList targets{folder};
    if (geteuid() != 0) // root writes read-only files
        targets << readOnly;
    for (const QString &target : targets) {
        CliRig rig;
        rig.useFirmware(sim::controllerWithLog(40));
        const auto run = rig.run({"--demo", "log", "read", target});
        EXPECT_EQ(run.exitCode, 2) << target.toStdString();
        EXPECT_EQ(requestsWithCode(rig, protocol::code::MemoryRead) +
                      requestsWithCode(rig, protocol::code::LogRecord),
                  0)
            << target.toStdString();
    }
}

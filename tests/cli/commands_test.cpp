#include "cli/invocation.h"
#include "cli_rig.h"
#include "config/config_file.h"
#include "sim/scenarios.h"
#include "support/test_support.h"

#include <QJsonArray>

#include <gtest/gtest.h>

#include <optional>

using namespace vardex;
using test::CliRig;

TEST(CliCommands, DescribeAsJsonCarriesVersionsSerialAndClock)
{
    CliRig rig;
    const auto c = rig.run({"--demo", "--json", "describe"});
    ASSERT_EQ(c.exitCode, 0) << c.err.toStdString();
    const QJsonObject o = CliRig::json(c);
    EXPECT_EQ(o["firmwareVersion"].toInt(), 24);
    EXPECT_FALSE(o["serialNumber"].toString().isEmpty());
    EXPECT_TRUE(o["clock"].isString()) << c.out.toStdString();
    EXPECT_EQ(o["node"].toString(), sim::kDemoDeviceId);
}

TEST(CliCommands, TextOutputIsAligned)
{
    CliRig rig;
    const auto c = rig.run({"--demo", "clock", "get"});
    ASSERT_EQ(c.exitCode, 0) << c.err.toStdString();
    EXPECT_TRUE(c.out.startsWith("Часы  ")) << c.out.toStdString();
}

TEST(CliCommands, OutputsSetSendsTheTaskItWasGiven)
{
    CliRig rig;
    const auto c = rig.run(
        {"--demo", "--json", "outputs", "set", "relay=1,3", "switch=h2,l1", "fan1=100", "fan2=50"});
    ASSERT_EQ(c.exitCode, 0) << c.err.toStdString();
    std::optional<link::Payload> task;
    for (const auto &p : rig.sim->receivedRequests(sim::kDemoDeviceId))
        if (p[0] == 3)
            task = p;
    ASSERT_TRUE(task);
    EXPECT_EQ((*task)[5], 8);
    const std::uint8_t expected[] = {0, 0x12, 0x05, 100, 50, 0, 0};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ((*task)[6 + i], expected[i]) << i;
    EXPECT_EQ(CliRig::json(c)["relays"].toInt(), 5);
    EXPECT_TRUE(CliRig::json(c)["readBack"].toBool()) << c.out.toStdString();
}

TEST(CliCommands, StateListsOnlyEnabledChannelsInEngineersUnits)
{
    CliRig rig;
    const auto c = rig.run({"--demo", "--json", "state"});
    ASSERT_EQ(c.exitCode, 0) << c.err.toStdString();
    const QJsonObject o = CliRig::json(c);
    const QJsonArray temps = o["temperatures"].toArray();
    ASSERT_FALSE(temps.isEmpty());
    const double celsius = temps[0].toObject()["celsius"].toDouble(-1000);
    EXPECT_GT(celsius, -55.0);
    EXPECT_LT(celsius, 125.0);
    for (const char *key : {"analog", "contacts", "relays", "fans", "systemFlags"})
        EXPECT_TRUE(o[key].isArray()) << key;
}

TEST(CliCommands, ConfigReadWritesTheFileAndWriteVerifiesByReadingBack)
{
    CliRig rig;
    const QString path = test::tempPath("cli.cfg");
    const auto read = rig.run({"--demo", "config", "read", path});
    ASSERT_EQ(read.exitCode, 0) << read.err.toStdString();
    EXPECT_EQ(test::readFile(path).size(), 224);

    CliRig writer;
    const auto write = writer.run({"--demo", "--json", "config", "write", path});
    ASSERT_EQ(write.exitCode, 0) << write.err.toStdString();
    EXPECT_TRUE(CliRig::json(write)["verified"].toBool());
}

TEST(CliCommands, LoopsReadThenWriteWithReadBack)
{
    CliRig rig;
    const QString path = test::tempPath("cli.upr");
    const auto read = rig.run({"--demo", "loops", "read", path});
    ASSERT_EQ(read.exitCode, 0) << read.err.toStdString();
    EXPECT_EQ(test::readFile(path).size(), 2444); // firmware 24 keeps the extended records

    CliRig writer;
    const auto write = writer.run({"--demo", "loops", "write", path});
    ASSERT_EQ(write.exitCode, 0) << write.err.toStdString();
}

TEST(CliCommands, LoopsWriteReportsTheLoopWhoseCheckFailed)
{
    CliRig rig;
    const QString path = test::tempPath("cli-verify.upr");
    ASSERT_EQ(rig.run({"--demo", "loops", "read", path}).exitCode, 0);
    CliRig writer;
    sim::Fault corrupt;
    corrupt.kind = sim::Fault::Kind::CorruptLoop;
    corrupt.code = 7;
    corrupt.sub = 4;
    writer.sim->addFault(sim::kDemoDeviceId, corrupt);
    const auto c = writer.run({"--demo", "loops", "write", path});
    EXPECT_EQ(c.exitCode, 1);
    EXPECT_TRUE(c.err.contains("контура 4")) << c.err.toStdString();
}

TEST(CliCommands, ListNamesTheNodeAndWhetherItOpens)
{
    CliRig rig;
    const auto c = rig.run({"--demo", "--json", "list"});
    ASSERT_EQ(c.exitCode, 0) << c.err.toStdString();
    const QJsonArray list = CliRig::json(c)["controllers"].toArray();
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(list[0].toObject()["node"].toString(), sim::kDemoDeviceId);
    EXPECT_TRUE(list[0].toObject()["openable"].toBool());
}

TEST(CliExitCodes, NoControllerIsThree)
{
    CliRig rig;
    rig.noController = true;
    rig.connectTimeoutMs = 200;
    const auto c = rig.run({"describe"});
    EXPECT_EQ(c.exitCode, 3);
    EXPECT_TRUE(c.err.contains("не найден")) << c.err.toStdString();
    EXPECT_TRUE(c.out.isEmpty());
    EXPECT_EQ(rig.run({"list"}).exitCode, 3);
}

TEST(CliExitCodes, AnotherDeviceThanTheOneAskedForIsNotTaken)
{
    CliRig rig;
    rig.connectTimeoutMs = 300;
    const auto c = rig.run({"--device", "/dev/hidraw9", "clock", "get"});
    EXPECT_EQ(c.exitCode, 3);
    EXPECT_TRUE(c.err.contains("/dev/hidraw9")) << c.err.toStdString();
    EXPECT_TRUE(rig.sim->receivedRequests(sim::kDemoDeviceId).empty());
}

TEST(CliExitCodes, ADroppedReplyIsOneAndNamesTheRequest)
{
    CliRig rig;
    sim::Fault drop;
    drop.kind = sim::Fault::Kind::Drop;
    drop.code = 2;
    drop.sub = 1;
    rig.sim->addFault(sim::kDemoDeviceId, drop);
    const auto c = rig.run({"--demo", "state"});
    EXPECT_EQ(c.exitCode, 1);
    EXPECT_TRUE(c.err.contains("ReadState 1")) << c.err.toStdString();
    EXPECT_TRUE(c.out.isEmpty());
}

TEST(CliExitCodes, AnErrorReplyIsOneAndSaysRefused)
{
    CliRig rig;
    sim::Fault refuse;
    refuse.kind = sim::Fault::Kind::ErrorReply;
    refuse.code = 32;
    rig.sim->addFault(sim::kDemoDeviceId, refuse);
    const auto c = rig.run({"--demo", "blackbox"});
    EXPECT_EQ(c.exitCode, 1);
    EXPECT_TRUE(c.err.contains("ERR")) << c.err.toStdString();
    EXPECT_TRUE(c.err.contains("MemoryRead 7168")) << c.err.toStdString();
}

// Ctrl-C while the configuration is read, before the log itself: an interruption, not a
// controller that failed to answer.
TEST(CliExitCodes, CtrlCBeforeTheRecordsIsAnInterruptionNotAControllerFault)
{
    CliRig rig;
    rig.sim->setLatency(sim::kDemoDeviceId, 100);
    rig.interrupted = true;
    const auto c = rig.run({"--demo", "log", "read", test::tempPath("cli-early-stop.log")});
    EXPECT_EQ(c.exitCode, cli::kExitInterrupted) << c.err.toStdString();
    EXPECT_FALSE(c.err.contains("не ответил")) << c.err.toStdString();
}

TEST(CliExitCodes, BadArgumentsAreTwoAndSendNothing)
{
    // One controller for every case: nothing may reach it from any of them.
    CliRig rig;
    for (const QStringList &args :
         {QStringList{}, QStringList{"frobnicate"}, QStringList{"clock"},
          QStringList{"outputs", "set", "relay=7"}, QStringList{"outputs", "set", "fan5=10"},
          QStringList{"config", "read", "x.upr"}, QStringList{"--bogus", "state"},
          QStringList{"--device"}}) {
        const auto c = rig.run(args);
        EXPECT_EQ(c.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(c.err.contains("Использование")) << args.join(' ').toStdString();
        EXPECT_TRUE(rig.sim->receivedRequests(sim::kDemoDeviceId).empty());
    }
    const auto missing = rig.run({"--demo", "config", "write", "/nonexistent/x.cfg"});
    EXPECT_EQ(missing.exitCode, 2);
}

TEST(CliLogRead, WritesTheFormatTheExtensionNames)
{
    constexpr int kRecords = 40;
    for (const char *name : {"cli-log.log", "cli-log.csv", "cli-log.xlsx"}) {
        CliRig rig;
        rig.useFirmware(sim::controllerWithLog(kRecords));
        const QString path = test::tempPath(name);
        const auto c = rig.run({"--demo", "--json", "log", "read", path});
        ASSERT_EQ(c.exitCode, 0) << name << c.err.toStdString();
        const QJsonObject o = CliRig::json(c);
        EXPECT_EQ(o["records"].toInt(), kRecords);
        EXPECT_EQ(o["total"].toInt(), kRecords);
        EXPECT_FALSE(o["interrupted"].toBool());
        const QByteArray file = test::readFile(path);
        if (path.endsWith(".log"))
            EXPECT_EQ(file.size(), kRecords * 84);
        else if (path.endsWith(".csv"))
            EXPECT_EQ(file.count('\n'), kRecords + 1) << "header and one line per record";
        else
            EXPECT_TRUE(file.startsWith("PK")) << "an .xlsx is a zip";
    }
}

// A file that cannot be written is found out before the read, not after minutes of it.
TEST(CliLogRead, UnwritableFileIsRefusedBeforeAnyRecordIsRead)
{
    CliRig rig;
    rig.useFirmware(sim::controllerWithLog(40));
    const auto c = rig.run({"--demo", "log", "read", "/nonexistent-dir/x.log"});
    EXPECT_EQ(c.exitCode, 2);
    EXPECT_TRUE(c.err.contains("/nonexistent-dir/x.log")) << c.err.toStdString();
    int recordRequests = 0;
    for (const auto &request : rig.sim->receivedRequests(sim::kDemoDeviceId))
        recordRequests += request[link::pos::Code] == 11;
    EXPECT_EQ(recordRequests, 0);
}

TEST(CliLogRead, UnansweredRingPositionIsOne)
{
    CliRig rig;
    rig.useFirmware(sim::controllerWithLog(10));
    sim::Fault drop;
    drop.kind = sim::Fault::Kind::Drop;
    drop.code = 32;
    rig.sim->addFault(sim::kDemoDeviceId, drop);
    const QString path = test::tempPath("cli-none.log");
    const auto c = rig.run({"--demo", "log", "read", path});
    EXPECT_EQ(c.exitCode, 1);
    EXPECT_TRUE(c.err.contains("MemoryRead 6912")) << c.err.toStdString();
}

// `vardex-cli watch` against the demo's simulated controller, in-process, with a scripted
// echo: no host is pinged.
#include "cli/invocation.h"
#include "cli/watch_command.h"
#include "cli/watch_pending.h"
#include "cli_rig.h"
#include "link/protocol.h"
#include "sim/scenarios.h"
#include "support/test_support.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <map>

using namespace vardex;
using service::EchoResult;
using service::EchoStatus;

namespace {

// Answers each ping from a script (t: timed out, a: answered, f: facility error) soon
// after it starts; past the script's end it answers. onPing sees the number of the ping.
class ScriptEcho final : public service::Echo {
public:
    std::string script;
    std::map<QString, std::string> hostScripts; // a host's own script, before script
    std::function<void(int)> onPing;
    int pings = 0;

    void start(const service::EchoRequest &request, Done done) override
    {
        const auto own = hostScripts.find(request.host);
        const std::string &s = own != hostScripts.end() ? own->second : script;
        const char c = pings < static_cast<int>(s.size()) ? s[pings] : 'a';
        ++pings;
        if (onPing)
            onPing(pings);
        m_busy = true;
        // Dropped with the echo, as the program's echo drops a late result.
        QTimer::singleShot(5, &m_guard, [this, c, done = std::move(done)] {
            m_busy = false;
            EchoResult r;
            if (c == 'a') {
                r.status = EchoStatus::Answered;
                r.address = QStringLiteral("192.0.2.7");
                r.bytes = 40;
                r.ttl = 64;
            } else if (c == 'f') {
                r = EchoResult::failed(QStringLiteral("Эхо-запрос не отправлен: EPERM"));
            }
            done(r);
        });
    }
    bool busy() const override { return m_busy; }

private:
    bool m_busy = false;
    QObject m_guard;
};

const QString kDemoSerial = QStringLiteral("24.3.11.2.17.0.4.2.1.9.");

struct WatchRig : test::CliRig {
    QObject m_owner; // timers of a test die with it
    ScriptEcho *echo = nullptr;
    std::string script;
    std::map<QString, std::string> hostScripts;
    std::function<void(int)> onPing;
    QTemporaryDir state;
    cli::PendingStore relay1Record{state.path(), 8, kDemoSerial};

    WatchRig()
    {
        watchStateDir = state.path();
        makeEcho = [this] {
            auto e = std::make_unique<ScriptEcho>();
            e->script = script;
            e->hostScripts = hostScripts;
            e->onPing = onPing;
            echo = e.get();
            return e;
        };
    }
    // Relay task bytes of the output tasks the controller received, in order.
    std::vector<int> relayTasks() const
    {
        std::vector<int> out;
        for (const auto &p : sim->receivedRequests(sim::kDemoDeviceId))
            if (p[link::pos::Code] == link::protocol::code::OutputTask)
                out.push_back(p[8]);
        return out;
    }
    // Runs then() once the controller holds the relay on (a request it has received may
    // still wait for its firmware).
    void whenRelayOn(std::function<void()> then)
    {
        auto *poll = new QTimer(&m_owner);
        QObject::connect(poll, &QTimer::timeout, poll, [this, poll, then = std::move(then)] {
            const auto tasks = relayTasks();
            if (!tasks.empty() && (tasks.back() & 0x01) && (relaysHeld() & 0x01)) {
                poll->deleteLater();
                then();
            }
        });
        poll->start(5);
    }
    // SIGTERM once the controller has the relay on.
    void stopWhenRelayOn()
    {
        whenRelayOn([this] { interrupted = true; });
    }
    // SIGTERM at the second ping: the watch has settled what it found and watches.
    void stopAtSecondPing()
    {
        onPing = [this](int n) {
            if (n == 2)
                interrupted = true;
        };
    }
    // The relays as the controller drives them.
    std::uint8_t relaysHeld()
    {
        std::uint8_t relays = 0;
        sim->withFirmware(sim::kDemoDeviceId,
                          [&relays](sim::Firmware &fw) { relays = fw.outputTask().relays; });
        return relays;
    }
    void setRelaysHeld(std::uint8_t relays)
    {
        sim->withFirmware(sim::kDemoDeviceId, [relays](sim::Firmware &fw) {
            fw.handle(link::protocol::writeOutputTask(0, 0, relays, {}));
        });
    }
    void writeRecord(const QByteArray &bytes, bool legacyName = false)
    {
        QFile f(legacyName ? relay1Record.legacyPath() : relay1Record.path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    std::optional<cli::PendingSwitchOff> record() const
    {
        const auto l = relay1Record.load();
        if (l.state != cli::PendingStore::Loaded::State::Valid)
            return std::nullopt;
        return l.pending;
    }
};

QString lastLine(const QString &out)
{
    const QStringList lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return lines.isEmpty() ? QString() : lines.back();
}

const QStringList kFast = {"--interval", "100", "--timeout", "100"};
// The first of two pairs: a long pulse of relay 1 for 192.0.2.7.
const QStringList relay1Pair = {"192.0.2.7", "--output", "relay1", "--pulse", "10000"};

} // namespace

TEST(CliWatch, AnOutageWithHoldOffGivesOnePulseAndEachDecisionIsALine)
{
    WatchRig r;
    // Two misses make the pulse; the host then boots through the hold-off.
    r.script = "aatttttaaaa";
    r.onPing = [&r](int n) {
        if (n == 16)
            r.interrupted = true; // SIGTERM
    };
    const auto c = r.run(QStringList{"--demo", "watch", "192.0.2.7", "--output", "relay1",
                                     "--pulse", "300", "--misses", "2", "--hold-off", "1"} +
                         kFast);
    EXPECT_EQ(c.exitCode, cli::kExitOk) << c.err.toStdString();
    EXPECT_EQ(r.relayTasks(), (std::vector<int>{0x01, 0x00})) << c.out.toStdString();
    EXPECT_EQ(c.out.count(QStringLiteral("Реле_1 вкл. на 300 мс")), 1) << c.out.toStdString();
    EXPECT_EQ(c.out.count(QStringLiteral("пропуск 1 из 2 подряд")), 1);
    EXPECT_EQ(c.out.count(QStringLiteral("не учтено: пауза ещё 1 с")), 1);
    for (const QString &line : c.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        EXPECT_TRUE(line.contains(QStringLiteral(" — "))) << line.toStdString();
}

TEST(CliWatch, SigtermDuringAPulseSwitchesTheOutputOffBeforeExiting)
{
    WatchRig r;
    r.script = "t";
    r.stopWhenRelayOn();
    const auto c = r.run(QStringList{"--demo", "--json", "watch", "192.0.2.7", "--output=relay1",
                                     "--pulse", "10000"} +
                         kFast);
    EXPECT_EQ(c.exitCode, cli::kExitOk) << c.err.toStdString();
    EXPECT_EQ(r.relayTasks(), (std::vector<int>{0x01, 0x00}));
    const QStringList lines = c.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_FALSE(lines.isEmpty());
    for (const QString &line : lines) {
        const auto doc = QJsonDocument::fromJson(line.toUtf8());
        ASSERT_TRUE(doc.isObject()) << line.toStdString();
        EXPECT_EQ(doc.object().value("host").toString(), QStringLiteral("192.0.2.7"));
    }
    const QString all = lines.join('\n');
    EXPECT_TRUE(all.contains(QStringLiteral("импульс прерван — Реле_1 выкл."))) << qPrintable(all);
    // Read back, the record of the pulse is gone: nothing is owed to a next run.
    EXPECT_TRUE(all.contains(QStringLiteral("Реле_1 выкл. отправлено и подтверждено")))
        << qPrintable(all);
    EXPECT_TRUE(lines.back().contains(
        QStringLiteral("наблюдение остановлено по сигналу, Реле_1 выключено")))
        << lines.back().toStdString();
    EXPECT_FALSE(QFile::exists(r.relay1Record.path()));
    EXPECT_EQ(r.relaysHeld() & 0x01, 0);
}

TEST(CliWatch, ControllerGoingAwayEndsTheWatchWithANonZeroExitAndSaysWhatWasNotSent)
{
    WatchRig r;
    r.script = "t";
    auto *poll = new QTimer(&r.m_owner);
    QObject::connect(poll, &QTimer::timeout, poll, [&r, poll] {
        const auto tasks = r.relayTasks();
        if (!tasks.empty()) {
            r.sim->unplug(sim::kDemoDeviceId); // during the pulse
            poll->deleteLater();
        }
    });
    poll->start(5);
    const auto c = r.run(
        QStringList{"--demo", "watch", "192.0.2.7", "--output", "relay1", "--pulse", "10000"} +
        kFast);
    EXPECT_EQ(c.exitCode, cli::kExitNoController);
    EXPECT_EQ(r.relayTasks(), (std::vector<int>{0x01}));
    EXPECT_TRUE(c.out.contains(QStringLiteral("контроллер отключен"))) << c.out.toStdString();
    EXPECT_TRUE(c.out.contains(QStringLiteral("Реле_1 выкл. НЕ отправлено")))
        << c.out.toStdString();
    // The next run learns what is owed, and for which controller.
    const auto owed = r.record();
    ASSERT_TRUE(owed) << r.relay1Record.path().toStdString();
    EXPECT_EQ(owed->output, 8);
    EXPECT_EQ(owed->serial, kDemoSerial);
    EXPECT_EQ(owed->node, sim::kDemoDeviceId);
    EXPECT_LE(owed->since.secsTo(QDateTime::currentDateTimeUtc()), 60);
    EXPECT_TRUE(lastLine(c.out).contains(
        QStringLiteral("Реле_1 может оставаться включённым: выключение записано в %1")
            .arg(r.relay1Record.path())))
        << c.out.toStdString();
}

TEST(CliWatch, AControllerBackWithinTheGraceGetsTheSwitchOffAndItIsReadBack)
{
    WatchRig r;
    r.script = "t";
    r.watchReturnGraceMs = 5000; // ends as soon as it is back
    r.whenRelayOn([&r] {
        r.sim->unplug(sim::kDemoDeviceId);
        QTimer::singleShot(100, &r.m_owner, [&r] { r.sim->plug(sim::kDemoDeviceId); });
    });
    const auto c = r.run(
        QStringList{"--demo", "watch", "192.0.2.7", "--output", "relay1", "--pulse", "10000"} +
        kFast);
    EXPECT_EQ(c.exitCode, cli::kExitNoController);
    EXPECT_EQ(r.relayTasks(), (std::vector<int>{0x01, 0x00}));
    EXPECT_EQ(r.relaysHeld() & 0x01, 0);
    EXPECT_TRUE(lastLine(c.out).contains(QStringLiteral("Реле_1 выкл. отправлено и подтверждено")))
        << c.out.toStdString();
    EXPECT_FALSE(QFile::exists(r.relay1Record.path()));
}

TEST(CliWatch, AnUnplugDuringTheSwitchOffKeepsTheRecordAndSaysSo)
{
    WatchRig r;
    r.script = "t";
    // The pulse's end is the next output task: the controller goes while it is in flight.
    r.whenRelayOn([&r] {
        r.sim->addFault(sim::kDemoDeviceId,
                        {sim::Fault::Kind::Unplug, link::protocol::code::OutputTask});
    });
    const auto c =
        r.run(QStringList{"--demo", "watch", "192.0.2.7", "--output", "relay1", "--pulse", "300"} +
              kFast);
    EXPECT_EQ(c.exitCode, cli::kExitNoController);
    EXPECT_TRUE(c.out.contains(QStringLiteral("проверка — Реле_1 выкл. отправлено, выходы не "
                                              "прочитаны; запись оставлена")))
        << c.out.toStdString();
    EXPECT_FALSE(c.out.contains(QStringLiteral("подтверждено")));
    ASSERT_TRUE(r.record()) << "the next run must still switch it off";
    EXPECT_TRUE(lastLine(c.out).contains(QStringLiteral("Реле_1 может оставаться включённым")));
}

TEST(CliWatch, ASecondControllerArrivingBesideTheFirstIsNotTaken)
{
    WatchRig r;
    r.script = "t";
    sim::SimDeviceOptions other;
    other.id = QStringLiteral("sim:other");
    other.latencyMs = 0;
    other.firmware = sim::fullControllerFirmware24();
    const QString b = r.sim->addDevice(std::move(other));
    r.whenRelayOn([&r, b] {
        r.sim->plug(b);
        QTimer::singleShot(300, &r.m_owner, [&r] { r.interrupted = true; });
    });
    const auto c = r.run(
        QStringList{"--demo", "watch", "192.0.2.7", "--output", "relay1", "--pulse", "10000"} +
        kFast);
    EXPECT_EQ(c.exitCode, cli::kExitOk) << c.err.toStdString();
    // The pulse ends at the first one, read back; the second hears nothing at all.
    EXPECT_EQ(r.relayTasks(), (std::vector<int>{0x01, 0x00}));
    EXPECT_EQ(r.relaysHeld() & 0x01, 0);
    EXPECT_TRUE(r.sim->receivedRequests(b).empty());
    EXPECT_TRUE(c.out.contains(QStringLiteral("подключён ещё один контроллер (sim:other): не "
                                              "взят, наблюдение остаётся с контроллером S/N=%1")
                                   .arg(kDemoSerial)))
        << c.out.toStdString();
    EXPECT_FALSE(QFile::exists(r.relay1Record.path()));
}

TEST(CliWatch, ASecondControllerInPlaceOfTheFirstGetsNothing)
{
    // The first unplugged before the second comes.
    {
        WatchRig r;
        r.script = "t";
        sim::SimDeviceOptions other;
        other.id = QStringLiteral("sim:other");
        other.latencyMs = 0;
        other.firmware = sim::fullControllerFirmware24();
        other.firmware.setIdentity({7, 7, 7, 7, 7, 7, 7, 7, 7, 7});
        const QString b = r.sim->addDevice(std::move(other));
        r.watchReturnGraceMs = 5000;
        r.whenRelayOn([&r, b] {
            r.sim->unplug(sim::kDemoDeviceId);
            r.sim->plug(b);
        });
        const auto c = r.run(
            QStringList{"--demo", "watch", "192.0.2.7", "--output", "relay1", "--pulse", "10000"} +
            kFast);
        EXPECT_EQ(c.exitCode, cli::kExitNoController);
        for (const auto &p : r.sim->receivedRequests(b))
            EXPECT_NE(p[link::pos::Code], link::protocol::code::OutputTask);
        EXPECT_TRUE(c.out.contains(QStringLiteral("подключён другой (S/N=7.7.7.7.7.7.7.7.7.7., "
                                                  "sim:other); запись оставлена")))
            << c.out.toStdString();
        ASSERT_TRUE(r.record());
        EXPECT_EQ(r.record()->serial, kDemoSerial);
    }
}

TEST(CliWatch, AStateFolderThatCannotBeWrittenCostsNoPulseButIsSaid)
{
    WatchRig r;
    QFile blocker(r.state.path() + "/file");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    r.watchStateDir = r.state.path() + "/file/vardex";
    r.script = "t";
    r.stopWhenRelayOn();
    const auto c = r.run(
        QStringList{"--demo", "watch", "192.0.2.7", "--output", "relay1", "--pulse", "10000"} +
        kFast);
    EXPECT_EQ(c.exitCode, cli::kExitOk);
    EXPECT_EQ(r.relayTasks(), (std::vector<int>{0x01, 0x00}));
    EXPECT_TRUE(c.out.contains(QStringLiteral("отложенное выключение Реле_1 не записано")))
        << c.out.toStdString();
}

// A run that finds a record an earlier one left.
struct OwedCase {
    const char *name;
    QByteArray record;
    bool sent;               // the switch-off goes to the controller before anything else
    const char *says;        // in the line about it
    bool legacyName = false; // under the name without a serial number
};

class CliWatchOwed : public ::testing::TestWithParam<OwedCase> {};

TEST_P(CliWatchOwed, IsSettledFirstOnItsOwnControllerOnly)
{
    const OwedCase &k = GetParam();
    WatchRig r;
    r.setRelaysHeld(0x05); // relay 1 left on, relay 3 on by the engineer
    r.writeRecord(k.record, k.legacyName);
    const QString path = k.legacyName ? r.relay1Record.legacyPath() : r.relay1Record.path();
    r.script = "aa";
    r.stopAtSecondPing();
    const auto c = r.run(QStringList{"--demo", "watch", "192.0.2.7", "--output", "relay1"} + kFast);
    EXPECT_EQ(c.exitCode, cli::kExitOk) << c.err.toStdString();
    EXPECT_TRUE(c.out.contains(QString::fromUtf8(k.says))) << c.out.toStdString();
    if (k.sent) {
        EXPECT_EQ(r.relayTasks(), (std::vector<int>{0x04})) << "relay 3 stays on";
        EXPECT_EQ(r.relaysHeld(), 0x04);
        EXPECT_FALSE(QFile::exists(path));
    } else {
        EXPECT_TRUE(r.relayTasks().empty());
        EXPECT_EQ(r.relaysHeld(), 0x05);
        QFile kept(path);
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll(), k.record) << "left as it was found";
    }
}

QByteArray owed(const char *serial, const char *node, const char *output = "relay1")
{
    return QByteArray("vardex pending switch-off 1\noutput=") + output + "\nserial=" + serial +
           "\nnode=" + node + "\nsince=2026-12-08T03:04:05Z\n";
}

INSTANTIATE_TEST_SUITE_P(
    Table, CliWatchOwed,
    ::testing::Values(
        OwedCase{"SameController", owed("24.3.11.2.17.0.4.2.1.9.", "/dev/hidraw9"), true,
                 "отложенное выключение (импульс с "},
        OwedCase{"SameControllerUnderTheOlderName", owed("24.3.11.2.17.0.4.2.1.9.", "/dev/hidraw9"),
                 true, "отложенное выключение (импульс с ", true},
        OwedCase{"OtherControllerUnderTheOlderName", owed("1.2.3.", "sim:demo"), false,
                 "подключён другой", true},
        OwedCase{"OtherController", owed("1.2.3.", "sim:demo"), false,
                 "оно для контроллера S/N=1.2.3., sim:demo, подключён другой"},
        OwedCase{"Corrupt", "vardex pending switch-off 1\noutput=relay1\nserial=", false,
                 "не прочитана"},
        OwedCase{"AnotherOutputsRecord", owed("24.3.11.2.17.0.4.2.1.9.", "sim:demo", "relay2"),
                 false, "не прочитана (другой выход)"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(CliWatch, APulseChangesOnlyItsOwnOutputAsTheControllerHasThemThen)
{
    WatchRig r;
    // Relay 3 is switched on by another program after the watch has started, between
    // its first ping and the pulse.
    r.script = "at";
    r.onPing = [&r](int n) {
        if (n == 1)
            r.setRelaysHeld(0x04);
    };
    r.stopWhenRelayOn();
    const auto c = r.run(
        QStringList{"--demo", "watch", "192.0.2.7", "--output", "relay1", "--pulse", "10000"} +
        kFast);
    EXPECT_EQ(c.exitCode, cli::kExitOk) << c.err.toStdString();
    EXPECT_EQ(r.relayTasks(), (std::vector<int>{0x05, 0x04})) << c.out.toStdString();
    EXPECT_EQ(r.relaysHeld(), 0x04);
}

TEST(CliWatch, AnOutputOnlyALoopHoldsIsNotCopiedIntoTheManualTask)
{
    WatchRig r;
    // Loop 1 (contact 1) drives TTL output 1; nobody switched it by hand.
    r.useFirmware(sim::fullControllerFirmware24());
    r.sim->withFirmware(sim::kDemoDeviceId, [](sim::Firmware &fw) { fw.setContacts(0x01); });
    r.script = "t";
    r.stopWhenRelayOn();
    const auto c = r.run(
        QStringList{"--demo", "watch", "192.0.2.7", "--output", "relay1", "--pulse", "10000"} +
        kFast);
    EXPECT_EQ(c.exitCode, cli::kExitOk) << c.err.toStdString();
    EXPECT_EQ(r.relayTasks(), (std::vector<int>{0x01, 0x00})) << c.out.toStdString();
    for (const auto &p : r.sim->receivedRequests(sim::kDemoDeviceId)) {
        if (p[link::pos::Code] == link::protocol::code::OutputTask) {
            EXPECT_EQ(p[6], 0x00) << "TTL output 1 copied into the manual task";
        }
    }
    // The loop lets go: TTL output 1 goes off, nothing latched it.
    std::uint8_t ttl = 0xFF;
    r.sim->withFirmware(sim::kDemoDeviceId, [&ttl](sim::Firmware &fw) {
        fw.setContacts(0x00);
        ttl = fw.liveState().ttlOutputs;
    });
    EXPECT_EQ(ttl & 0x01, 0x00);
}

TEST(CliWatch, OutputsThatCannotBeReadCostThePulseAndTheLogSaysSo)
{
    WatchRig r;
    r.setRelaysHeld(0x04);
    r.sim->addFault(sim::kDemoDeviceId, {sim::Fault::Kind::Drop, link::protocol::code::State, 0});
    r.script = "t";
    r.stopAtSecondPing();
    const auto c = r.run(
        QStringList{"--demo", "watch", "192.0.2.7", "--output", "relay1", "--pulse", "10000"} +
        kFast);
    EXPECT_EQ(c.exitCode, cli::kExitOk);
    EXPECT_TRUE(r.relayTasks().empty()) << "no task from guesses";
    EXPECT_EQ(r.relaysHeld(), 0x04);
    EXPECT_TRUE(c.out.contains(QStringLiteral("Реле_1 вкл. не отправлено: выходы контроллера не "
                                              "прочитаны — импульса не было")))
        << c.out.toStdString();
    EXPECT_FALSE(QFile::exists(r.relay1Record.path())) << "nothing went on, nothing is owed";
}

TEST(CliWatch, FacilityErrorsSwitchNothing)
{
    WatchRig r;
    r.script = "ffff";
    r.onPing = [&r](int n) {
        if (n == 5)
            r.interrupted = true;
    };
    const auto c = r.run(QStringList{"--demo", "watch", "192.0.2.7", "--output", "h2"} + kFast);
    EXPECT_EQ(c.exitCode, cli::kExitOk);
    EXPECT_TRUE(r.relayTasks().empty()); // no output task at all went out
    EXPECT_TRUE(c.out.contains(QStringLiteral("ничего не переключено"))) << c.out.toStdString();
}

struct WatchArgsCase {
    const char *name;
    QStringList args;
    bool ok;
    int output;
    const char *error; // part of the message when refused
};

class CliWatchArguments : public ::testing::TestWithParam<WatchArgsCase> {};

TEST_P(CliWatchArguments, AreParsedOrRefusedWithAReason)
{
    const WatchArgsCase &c = GetParam();
    const cli::ParseResult p = cli::parseArguments(QStringList{"watch"} + c.args);
    ASSERT_EQ(p.invocation.has_value(), c.ok) << p.error.toStdString();
    if (c.ok) {
        EXPECT_EQ(p.invocation->command, cli::Command::Watch);
        ASSERT_EQ(p.invocation->watch.size(), std::size_t(1));
        EXPECT_EQ(p.invocation->watch.front().output, c.output);
    } else {
        EXPECT_TRUE(p.error.contains(QString::fromUtf8(c.error))) << p.error.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, CliWatchArguments,
    ::testing::Values(
        WatchArgsCase{"Relay6", {"h", "--output", "relay6"}, true, 13, ""},
        WatchArgsCase{"HighSwitch", {"h", "--output=h1"}, true, 0, ""},
        WatchArgsCase{"LowSwitch", {"--output", "l4", "h"}, true, 7, ""},
        WatchArgsCase{"NoOutputIsNoDefault", {"h"}, false, -1, "не указан выход"},
        WatchArgsCase{"NoHost", {"--output", "relay1"}, false, -1, "не указан узел"},
        WatchArgsCase{"Relay7", {"h", "--output", "relay7"}, false, -1, "relay1..relay6"},
        WatchArgsCase{"IntervalBelowThePage",
                      {"h", "--output", "relay1", "--interval", "99"},
                      false,
                      -1,
                      "100..10000"},
        WatchArgsCase{
            "MissesZero", {"h", "--output", "relay1", "--misses", "0"}, false, -1, "1..100"},
        WatchArgsCase{"HoldOffNotANumber",
                      {"h", "--output", "relay1", "--hold-off", "x"},
                      false,
                      -1,
                      "0..3600"},
        WatchArgsCase{"FourHosts", {"a", "b", "c", "d", "--output", "relay1"}, true, 8, ""},
        WatchArgsCase{
            "FiveHosts", {"a", "b", "c", "d", "e", "--output", "relay1"}, false, -1, "не более 4"},
        WatchArgsCase{"BackoffWithoutHoldOff",
                      {"h", "--output", "relay1", "--backoff", "600"},
                      false,
                      -1,
                      "--hold-off"},
        WatchArgsCase{"PerZero", {"h", "--output", "relay1", "--per", "0"}, false, -1, "1..1440"},
        WatchArgsCase{"SecondOutputWithoutItsHost",
                      {"h", "--output", "relay1", "--output", "relay2"},
                      false,
                      -1,
                      "два выхода"},
        WatchArgsCase{"OneOutputForTwoPairs",
                      {"a", "--output", "relay1", "b", "--output", "relay1"},
                      false,
                      -1,
                      "назван дважды"},
        WatchArgsCase{"SecondPairsOwnOptionOutOfRange",
                      {"a", "--output", "relay1", "b", "--output", "relay2", "--pulse", "5"},
                      false,
                      -1,
                      "пара 2: --pulse 5"},
        WatchArgsCase{"ArmAfterNegative",
                      {"h", "--output", "relay1", "--arm-after", "-1"},
                      false,
                      -1,
                      "0..100"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(CliWatchArguments, ValuesReachTheOptions)
{
    const cli::ParseResult p = cli::parseArguments(
        {"--json", "watch", "host", "--output", "relay2", "--interval", "200", "--timeout", "300",
         "--pulse", "400", "--misses", "5", "--hold-off", "60"});
    ASSERT_TRUE(p.invocation);
    const cli::WatchOptions &o = p.invocation->watch.front();
    EXPECT_TRUE(p.invocation->json);
    EXPECT_EQ(o.host, QStringLiteral("host"));
    EXPECT_EQ(std::make_tuple(o.output, o.intervalMs, o.timeoutMs, o.pulseMs, o.misses, o.holdOffS),
              std::make_tuple(9, 200, 300, 400, 5, 60));

    const cli::ParseResult policy = cli::parseArguments(
        {"watch", "gw", "--output", "relay1", "router", "--arm-after", "3", "--max-pulses", "2",
         "--per", "30", "--hold-off", "10", "--backoff", "600"});
    ASSERT_TRUE(policy.invocation) << policy.error.toStdString();
    const cli::WatchOptions &w = policy.invocation->watch.front();
    EXPECT_EQ(w.host, QStringLiteral("gw"));
    EXPECT_EQ(w.moreHosts, QStringList{QStringLiteral("router")});
    EXPECT_EQ(std::make_tuple(w.armAfter, w.maxPulses, w.perMin, w.holdOffS, w.backoffMaxS),
              std::make_tuple(3, 2, 30, 10, 600));
}

TEST(CliWatchArguments, EachPairTakesTheOptionsWrittenInIt)
{
    const cli::ParseResult p =
        cli::parseArguments({"watch", "router", "--output", "relay1", "--pulse", "2000", "modem",
                             "lte", "--output=relay2", "--misses", "3"});
    ASSERT_TRUE(p.invocation) << p.error.toStdString();
    const auto &pairs = p.invocation->watch;
    ASSERT_EQ(pairs.size(), std::size_t(2));
    EXPECT_EQ(std::make_tuple(pairs[0].host, pairs[0].moreHosts, pairs[0].output, pairs[0].pulseMs,
                              pairs[0].misses),
              std::make_tuple(QString("router"), QStringList(), 8, 2000, 1));
    EXPECT_EQ(std::make_tuple(pairs[1].host, pairs[1].moreHosts, pairs[1].output, pairs[1].pulseMs,
                              pairs[1].misses),
              std::make_tuple(QString("modem"), QStringList{"lte"}, 9, 1000, 3));

    QStringList nine = {"watch"};
    for (const char *output :
         {"relay1", "relay2", "relay3", "relay4", "relay5", "relay6", "h1", "h2", "h3"})
        nine << "host"
             << "--output" << output;
    const cli::ParseResult tooMany = cli::parseArguments(nine);
    EXPECT_FALSE(tooMany.invocation);
    EXPECT_TRUE(tooMany.error.contains(QStringLiteral("не более 8")))
        << tooMany.error.toStdString();
}

// Two pairs on one controller: the router's outage pulses relay 1 only; the modem's pair
// watches on and leaves relay 2, and relay 3 that the engineer switched on, as they are.
TEST(CliWatch, TwoPairsOnOneControllerPulseOnlyTheirOwnOutput)
{
    WatchRig r;
    r.setRelaysHeld(0x04);
    r.hostScripts = {{QStringLiteral("192.0.2.7"), "t"}, {QStringLiteral("192.0.2.8"), "aaaa"}};
    r.stopWhenRelayOn();
    const auto c = r.run(QStringList{"--demo", "watch"} + relay1Pair + kFast +
                         QStringList{"192.0.2.8", "--output", "relay2"} + kFast);
    EXPECT_EQ(c.exitCode, cli::kExitOk) << c.err.toStdString();
    EXPECT_EQ(r.relayTasks(), (std::vector<int>{0x05, 0x04})) << c.out.toStdString();
    EXPECT_EQ(r.relaysHeld(), 0x04);
    EXPECT_TRUE(c.out.contains(QStringLiteral("relay1: 192.0.2.7 не ответил")))
        << c.out.toStdString();
    EXPECT_TRUE(c.out.contains(QStringLiteral("relay2: наблюдение остановлено по сигналу, Реле_2 "
                                              "не было включено")))
        << c.out.toStdString();
    EXPECT_FALSE(QFile::exists(r.relay1Record.path())) << "read back off, nothing owed";
}

// Both pairs pulse at once: each switch reads the outputs first, so neither pulse's end
// switches the other's output off; the controller then goes away mid-pulse, and each
// output's switch-off is recorded for that controller under a name of its own.
TEST(CliWatch, TwoPulsesAtOnceKeepEachOthersOutputAndEachLeavesItsOwnRecord)
{
    WatchRig r;
    r.script = "t";
    auto *poll = new QTimer(&r.m_owner);
    QObject::connect(poll, &QTimer::timeout, poll, [&r, poll] {
        if (r.relaysHeld() == 0x03) {
            poll->deleteLater();
            r.sim->unplug(sim::kDemoDeviceId);
        }
    });
    poll->start(5);
    r.watchReturnGraceMs = 300;
    const auto c =
        r.run(QStringList{"--demo", "watch"} + relay1Pair + kFast +
              QStringList{"192.0.2.8", "--output", "relay2", "--pulse", "10000"} + kFast);
    EXPECT_EQ(c.exitCode, cli::kExitNoController) << c.out.toStdString();
    const std::vector<int> tasks = r.relayTasks();
    ASSERT_EQ(tasks.size(), std::size_t(2)) << c.out.toStdString();
    EXPECT_EQ(tasks.back(), 0x03) << "the second pulse kept the first one's relay";
    const cli::PendingStore relay2Record{r.state.path(), 9, kDemoSerial};
    for (const cli::PendingStore *store :
         std::initializer_list<const cli::PendingStore *>{&r.relay1Record, &relay2Record}) {
        const auto l = store->load();
        EXPECT_EQ(l.state, cli::PendingStore::Loaded::State::Valid) << store->path().toStdString();
        EXPECT_EQ(l.pending.serial, kDemoSerial);
    }
    EXPECT_TRUE(c.out.contains(QStringLiteral("relay1: Реле_1 может оставаться включённым")));
    EXPECT_TRUE(c.out.contains(QStringLiteral("relay2: Реле_2 может оставаться включённым")));
}

// The cap in the command line's JSON: the stand-down is a line with its rule and the
// state, and SIGUSR1 re-arms it.
TEST(CliWatch, StandsDownAtItsCapInJsonAndSigusr1RearmsIt)
{
    WatchRig r;
    r.script = std::string(40, 't');
    r.onPing = [&r](int n) {
        if (n == 12)
            r.rearm = true; // SIGUSR1
        if (n == 30)
            r.interrupted = true;
    };
    const auto c = r.run(QStringList{"--json", "--demo", "watch", "192.0.2.7", "--output", "relay1",
                                     "--pulse", "100", "--max-pulses", "2"} +
                         kFast);
    EXPECT_EQ(c.exitCode, cli::kExitOk) << c.err.toStdString();
    QStringList rules;
    bool stoodDownState = false;
    for (const QString &line : c.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QJsonObject o = QJsonDocument::fromJson(line.toUtf8()).object();
        ASSERT_FALSE(o.isEmpty()) << line.toStdString();
        const QString rule = o.value(QStringLiteral("rule")).toString();
        if (!rule.isEmpty())
            rules << rule;
        if (rule == QLatin1String("cap")) {
            stoodDownState = o.value(QStringLiteral("state")).toString() == "stood-down";
            EXPECT_TRUE(o.value(QStringLiteral("decision"))
                            .toString()
                            .contains(QStringLiteral("остановлен: 2 импульса за 60 мин")));
        }
    }
    EXPECT_TRUE(stoodDownState) << c.out.toStdString();
    // Two pulses, the stand-down, the re-arm, two pulses more and the cap again.
    EXPECT_EQ(rules, (QStringList{"misses", "misses", "cap", "rearm", "misses", "misses", "cap"}))
        << c.out.toStdString();
    EXPECT_EQ(r.relayTasks(), (std::vector<int>{1, 0, 1, 0, 1, 0, 1, 0})) << c.out.toStdString();
}

// Every operation the engineer can start, under every fault the simulated controller
// can script, through the window's own buttons. Each cell checks that the operation
// ends, that nothing else went on the wire meanwhile, that no wait was ended by a
// report that does not answer it, that what the engineer is told is true, that the
// image holds only what the controller answered, and that the next run works.
//
// Operations join as rows (kOperations), faults as columns (kFaults).
#include "description_rig.h"
#include "link/disconnect_text.h"
#include "link/protocol.h"
#include "link/reply_table.h"
#include "log/log_transfer.h"
#include "log/widgets/log_frame.h"
#include "loops/widgets/loop_page.h"
#include "service/widgets/watchdog_page.h"
#include "support/scripted_echo.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QTimer>

#include <QDateTime>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <set>

using namespace vardex;
namespace protocol = link::protocol;
using sim::Fault;

namespace {

const QString kVerifyFailedPrefix = QStringLiteral("Ошибка верификации");

// The window with a described controller, and what each cell observes.
constexpr int kLogRecords = 12;

struct MatrixRig : test::DescriptionRig {
    std::vector<link::Payload> sent;
    test::ScriptedEcho *scriptedEcho = nullptr; // the watchdog's, once a row set it
    QStringList strayAnswers; // waits ended by a report that does not answer the request

    // The full controller with a short log, so the log read joins the other rows.
    MatrixRig() : DescriptionRig(sim::controllerWithLog(kLogRecords))
    {
        describe();
        prompts.messages.clear();
        dm.setTraceSink([this](const link::TraceEntry &e) {
            if (e.direction == link::TraceEntry::Direction::Sent)
                sent.push_back(e.payload);
        });
        dm.setAcceptSink([this](const link::Payload &rq, const link::Payload &reply) {
            if (!answersStrictly(rq, reply))
                strayAnswers << QStringLiteral("request %1/%2 ended by %3/%4")
                                    .arg(rq[0])
                                    .arg(rq[1])
                                    .arg(reply[0])
                                    .arg(reply[1]);
        });
    }

    // Independent of the link's own rule: the simulated controller echoes Code, Sub and
    // Arg1 of every request, so an answer must carry all three (a log record's second
    // half has Sub 1). The error reply ends any wait; a controller notice ends none. Write
    // acknowledgements carry nothing a real controller is known to fill in, so the link
    // takes them on Code alone and a late one may end the next write's wait.
    static bool answersStrictly(const link::Payload &rq, const link::Payload &reply)
    {
        if (link::isErrorReply(reply))
            return true;
        if (reply[0] != rq[0])
            return false;
        if (rq[0] == protocol::code::LogRecord || rq[0] == protocol::code::WriteConfigPage ||
            rq[0] == protocol::code::WriteLoop || rq[0] == protocol::code::MemoryWrite)
            return true;
        return reply[1] == rq[1] && reply[2] == rq[2];
    }

    // What the controller holds, decoded by the program's own decoder.
    link::Payload truth(const link::Payload &request)
    {
        link::Payload reply{};
        transport.withFirmware(id, [&](sim::Firmware &fw) {
            const auto replies = fw.handle(request);
            if (!replies.empty())
                reply = replies.front();
        });
        return reply;
    }

    // Record n as the controller holds it, both reports put together as the link does.
    log::LogRecord truthRecord(int n)
    {
        std::array<std::uint8_t, 100> buffer{};
        transport.withFirmware(id, [&](sim::Firmware &fw) {
            for (const auto &half : fw.handle(protocol::readLogRecord(n)))
                protocol::copyLogRecordHalf(half, buffer);
        });
        return log::LogRecord::fromPayload(
            std::span<const std::uint8_t, log::kPayloadSize>(buffer.data(), log::kPayloadSize));
    }

    bool busy() const { return dm.isBusy(); }
};

struct Operation {
    const char *name;
    int faultCode;
    int faultSub;
    int replyTimeoutMs;  // of the faulted request, so a delay can go past it
    std::set<int> codes; // every request it may send
    bool readsIntoImage; // a read: poisoned image parts must be poison or truth
    std::function<void(MatrixRig &)> prepare;
    std::function<void(MatrixRig &)> start;
    std::function<void(MatrixRig &)> poison;
    // Every poisoned part is either still poison or what the controller holds.
    std::function<QString(MatrixRig &, bool cleanRun)> checkImage;
    // A message of the operation's own that is true under the fault (a script write cut
    // short names the blocks the controller lacks); empty: only the standard texts.
    std::function<bool(const QString &message, Fault::Kind)> ownMessage = {};
};

constexpr float kPoisonF = -4242.5f;

QString expectField(const char *what, double actual, double poison, double truth, bool clean)
{
    if (actual == truth || (!clean && actual == poison))
        return {};
    return QStringLiteral("%1 = %2 (poison %3, controller %4)")
        .arg(QLatin1String(what))
        .arg(actual)
        .arg(poison)
        .arg(truth);
}

QString checkState(MatrixRig &r, bool clean)
{
    link::MonitorState truth{};
    protocol::decodeState(r.truth(protocol::readState(0)), truth);
    protocol::decodeStateFlags(r.truth(protocol::readState(1)), truth);
    const link::MonitorState &s = r.dm.image().state;
    return expectField("analog 1", s.analogValues[0], kPoisonF, truth.analogValues[0], clean) +
           expectField("flags 5", s.systemFlags[4], 0xA5, truth.systemFlags[4], clean);
}

void poisonState(MatrixRig &r)
{
    r.dm.image().state.analogValues[0] = kPoisonF;
    r.dm.image().state.systemFlags[4] = 0xA5;
}

void poisonConfig(MatrixRig &r)
{
    r.dm.image().config.analogA[0] = kPoisonF;
    r.dm.image().config.analogAlarmLow[0] = 0x7777;
}

QString checkConfig(MatrixRig &r, bool clean)
{
    link::MonitorConfig truth{};
    protocol::decodeConfigPage(r.truth(protocol::readConfigPage(1)), truth);
    protocol::decodeConfigPage(r.truth(protocol::readConfigPage(3)), truth);
    const link::MonitorConfig &c = r.dm.image().config;
    return expectField("AnalogA 1", c.analogA[0], kPoisonF, truth.analogA[0], clean) +
           expectField("AnalogAlarmLow 1", c.analogAlarmLow[0], 0x7777, truth.analogAlarmLow[0],
                       clean);
}

void poisonLoops(MatrixRig &r)
{
    for (int n : {2, 3, 4}) {
        r.dm.image().loop(n).contactUse = 0xEE;
        r.dm.image().loopExt(n).timerOn = 0xEEEE;
    }
}

QString checkLoops(MatrixRig &r, bool clean)
{
    QString out;
    for (int n : {2, 3, 4}) {
        link::UprLoopConfig main{};
        link::UprLoopConfigExt ext{};
        protocol::decodeLoop(r.truth(protocol::readLoop(n, protocol::LoopRecord::Main)), main);
        protocol::decodeLoopExt(r.truth(protocol::readLoop(n, protocol::LoopRecord::Extended)),
                                ext);
        out += expectField("ContactUse", r.dm.image().loop(n).contactUse, 0xEE, main.contactUse,
                           clean);
        out += expectField("TimerOn", r.dm.image().loopExt(n).timerOn, 0xEEEE, ext.timerOn, clean);
    }
    return out;
}

// A write leaves what the engineer prepared in the image, whatever became of its
// read-back (which reads into a copy, loop by loop, between steps other work may run);
// after a clean run the controller holds it too.
QString checkPreparedLoopsKept(MatrixRig &r, bool clean)
{
    if (!clean && !r.dm.hasDevice())
        return {}; // pulled out: the pages dropped what they knew of it
    QString out;
    for (int n : {2, 3, 4}) {
        if (r.dm.image().loop(n).contactUse != 0xEE || r.dm.image().loopExt(n).timerOn != 0xEEEE)
            out += QStringLiteral("loop %1 no longer holds what was prepared; ").arg(n);
    }
    return clean ? out + checkLoops(r, true) : out;
}

// A configuration write or comparison leaves what the engineer prepared in the image
// (its read-back reads beside it); after a clean write the controller holds it too.
QString checkPreparedConfigKept(MatrixRig &r, bool clean, bool written)
{
    if (!clean && !r.dm.hasDevice())
        return {}; // pulled out: the pages dropped what they knew of it
    const link::MonitorConfig &c = r.dm.image().config;
    QString out;
    if (c.analogA[0] != kPoisonF || c.analogAlarmLow[0] != 0x7777)
        out += QStringLiteral("the configuration no longer holds what was prepared; ");
    return clean && written ? out + checkConfig(r, true) : out;
}

// The loops a comparison read stay what the engineer prepared; nothing was written.
QString checkPreparedLoopsUnwritten(MatrixRig &r, bool clean)
{
    if (!clean && !r.dm.hasDevice())
        return {};
    QString out;
    for (int n : {2, 3, 4}) {
        if (r.dm.image().loop(n).contactUse != 0xEE || r.dm.image().loopExt(n).timerOn != 0xEEEE)
            out += QStringLiteral("loop %1 no longer holds what was prepared; ").arg(n);
    }
    return out;
}

// A comparison that could not read the controller says so in its own words.
bool notComparedMessage(const QString &m, Fault::Kind kind)
{
    if (kind == Fault::Kind::Unplug)
        return m == link::kDisconnectedText;
    return m.endsWith(QStringLiteral("не прочитаны: сравнить не с чем.")) ||
           m.endsWith(QStringLiteral("не прочитана: сравнить не с чем."));
}

// Every slot read holds the controller's record of that number, or (a record that
// never came, listed as missing) a copy of the slot before it; never another record.
QString checkLog(MatrixRig &r, bool clean)
{
    const log::RecordStore &store = r.window->logFrame()->store();
    const auto &missing = store.missingSlots();
    QString out;
    for (int n = 1; n <= store.count(); ++n) {
        const bool listed = std::find(missing.begin(), missing.end(), n) != missing.end();
        const auto held = store.record(n).encode();
        if (listed && n == 1 && !clean)
            continue; // holds the record the view showed before the read
        const auto expected = listed ? store.record(n - 1).encode() : r.truthRecord(n).encode();
        if (held != expected || (clean && listed))
            out += QStringLiteral("slot %1%2 holds another record; ")
                       .arg(n)
                       .arg(listed ? QStringLiteral(" (missing)") : QString());
    }
    if (clean && store.count() != kLogRecords)
        out += QStringLiteral("%1 of %2 records read").arg(store.count()).arg(kLogRecords);
    return out;
}

QString noImageCheck(MatrixRig &, bool)
{
    return {};
}

void clickNamed(MatrixRig &r, const char *name)
{
    QPushButton *b = r.button(QLatin1String(name));
    ASSERT_TRUE(b->isEnabled()) << name;
    b->click();
}

// Test 2 runs inside its click; "Стоп" comes from the event loop after a few passes.
void runTestTwo(MatrixRig &r)
{
    QTimer::singleShot(700, r.window.get(), [&r] { r.button("StopTest2Btn")->click(); });
    clickNamed(r, "FutabaTest2Btn");
}

bool scriptWriteMessage(const QString &m, Fault::Kind kind)
{
    // Cut short by an unplug: it must say so; otherwise it names the unconfirmed block.
    if (kind == Fault::Kind::Unplug)
        return m.contains(QStringLiteral("прервана: контроллер отключен"));
    return m.contains(QStringLiteral("записан не полностью: контроллер не подтвердил блок"));
}

// The watchdog's pulse on relay 1 (100 ms), started by a failed manual ping; the echo is
// scripted, no host is pinged. Ends when the pulse is over (its switch-off written, or
// owed to a controller that went away).
void prepareWatchdog(MatrixRig &r)
{
    service::WatchDogPage *page = r.window->watchDogPage();
    if (!r.scriptedEcho) {
        auto echo = std::make_unique<test::ScriptedEcho>();
        r.scriptedEcho = echo.get();
        page->setEcho(std::move(echo));
    }
    page->findChild<QLineEdit *>(QStringLiteral("HostEdit"))->setText("192.0.2.7");
    page->findChild<QComboBox *>(QStringLiteral("PingOutputComboBox"))->setCurrentIndex(8);
    page->findChild<QSpinBox *>(QStringLiteral("PingUprTimeEdit"))->setValue(100);
}

void runPulse(MatrixRig &r)
{
    service::Watchdog &dog = r.window->watchDogPage()->watchdog();
    dog.manualPing();
    ASSERT_TRUE(r.scriptedEcho->reply(test::ScriptedEcho::timedOut()));
    test::waitUntil([&] { return dog.pulse() == service::Watchdog::Pulse::None; }, 5000);
    // The switch-off is written when the pulse ends; the simulated controller takes it
    // from its queue a moment later.
    test::spin(100);
}

// Pulled out with the relay on: the engineer is told which relay of which controller may
// still be on.
bool mayStillBeOnMessage(const QString &m, Fault::Kind kind)
{
    return kind == Fault::Kind::Unplug &&
           m.startsWith(QStringLiteral("Внимание: Реле_1 контроллера")) &&
           m.contains(QStringLiteral("может оставаться включённым (контроллер отключен)"));
}

// After a clean run the relay is off at the controller: the pulse ended there, and a
// switch-off owed to a controller that was pulled out went when it came back.
QString checkRelayOff(MatrixRig &r, bool clean)
{
    if (!clean)
        return {};
    link::MonitorState truth{};
    protocol::decodeState(r.truth(protocol::readState(0)), truth);
    if (!(truth.relays & 0x01))
        return {};
    QString out = QStringLiteral("relay 1 still on at the controller; the watchdog's log:");
    for (const QString &line : r.window->watchDogPage()->watchdog().log().lines())
        out += QStringLiteral("\n  ") + line;
    return out;
}

const std::vector<Operation> &operations()
{
    static const std::vector<Operation> ops = {
        {"single state read",
         protocol::code::State,
         0,
         200,
         {2},
         true,
         {},
         [](MatrixRig &r) { clickNamed(r, "WorkStateBtn"); },
         poisonState,
         checkState},
        {"polling cycle",
         protocol::code::State,
         0,
         500,
         {2, 4},
         true,
         {},
         [](MatrixRig &r) {
             clickNamed(r, "AskStateBtn");
             // One whole cycle (clock, state 0, state 1), then the switch goes off.
             const auto cycleSent = [&] {
                 return std::any_of(r.sent.begin(), r.sent.end(), [](const link::Payload &p) {
                     return p[0] == protocol::code::State && p[1] == 1;
                 });
             };
             const int before = r.requestCount(protocol::code::Clock);
             const auto cycleStarted = [&] {
                 return r.requestCount(protocol::code::Clock) > before;
             };
             // Ended when its last request went out, or the controller was pulled out.
             test::waitUntil([&] { return cycleStarted() && !r.busy(); }, 6000);
             test::waitUntil([&] { return cycleSent() || !r.dm.hasDevice(); }, 3000);
             test::waitUntil([&] { return !r.busy(); }, 6000);
             if (r.window->timer("AskTimer")->isActive())
                 r.button("AskStateBtn")->click();
         },
         poisonState,
         checkState},
        {"configuration read",
         protocol::code::ConfigPage,
         3,
         5000,
         {1},
         true,
         {},
         [](MatrixRig &r) { clickNamed(r, "ReadCfgBtn"); },
         poisonConfig,
         checkConfig},
        {"configuration write",
         protocol::code::WriteConfigPage,
         1,
         200,
         {9, 1}, // the write, then its read-back
         false,
         {},
         [](MatrixRig &r) { clickNamed(r, "WriteCfgBtn"); },
         poisonConfig,
         [](MatrixRig &r, bool clean) { return checkPreparedConfigKept(r, clean, true); }},
        {"configuration read-back",
         protocol::code::ConfigPage,
         2, // asked only by the read-back
         5000,
         {9, 1},
         false,
         {},
         [](MatrixRig &r) { clickNamed(r, "WriteCfgBtn"); },
         poisonConfig,
         [](MatrixRig &r, bool clean) { return checkPreparedConfigKept(r, clean, true); }},
        {"configuration comparison",
         protocol::code::ConfigPage,
         2,
         5000,
         {1},
         false,
         {},
         [](MatrixRig &r) { clickNamed(r, "DiffCfgBtn"); },
         poisonConfig,
         [](MatrixRig &r, bool clean) { return checkPreparedConfigKept(r, clean, false); },
         notComparedMessage},
        {"loop comparison",
         protocol::code::Loop,
         3,
         1000,
         {6},
         false,
         {},
         [](MatrixRig &r) { clickNamed(r, "DiffUprLoopConfigBtn"); },
         poisonLoops,
         checkPreparedLoopsUnwritten,
         notComparedMessage},
        {"loop write with verification",
         protocol::code::WriteLoop,
         10,
         1000,
         {7, 32, 6}, // the write, its stored-copy check, then the read-back
         false,
         [](MatrixRig &r) {
             r.window->loopPage()->setCurrentLoop(10);
             r.window->loopPage()->showUprLoop(10, QString());
         },
         [](MatrixRig &r) { clickNamed(r, "WriteCurentUprLoopConfigBtn"); },
         {},
         noImageCheck},
        {"read all loops",
         protocol::code::Loop,
         3,
         1000,
         {6},
         true,
         {},
         [](MatrixRig &r) { clickNamed(r, "ReadUprLoopConfigBtn"); },
         poisonLoops,
         checkLoops},
        {"write of all loops with its read-back",
         protocol::code::Loop,
         3, // loop 3's records, asked only by the read-back
         1000,
         {7, 32, 6}, // each loop's write, its stored-copy check; then the read-back
         false,
         {},
         [](MatrixRig &r) { clickNamed(r, "WriteUprLoopConfigBtn"); },
         poisonLoops,
         checkPreparedLoopsKept},
        {"description read",
         protocol::code::Loop,
         3,
         150,
         {1, 6, 34},
         true,
         {},
         [](MatrixRig &r) { r.describe(); },
         [](MatrixRig &r) {
             poisonConfig(r);
             poisonLoops(r);
         },
         [](MatrixRig &r, bool clean) { return checkConfig(r, clean) + checkLoops(r, clean); }},
        {"full log read",
         protocol::code::LogRecord,
         0,
         log::kRecordWaitMs,
         {11, 32},
         true,
         {},
         [](MatrixRig &r) { clickNamed(r, "ReadLogBtn"); },
         {},
         checkLog},
        {"clock read",
         protocol::code::Clock,
         -1,
         2000,
         {4},
         true,
         {},
         [](MatrixRig &r) { clickNamed(r, "GetDateTimeBtn"); },
         [](MatrixRig &r) { r.dm.image().clock.year = 99; },
         [](MatrixRig &r, bool clean) {
             link::DeviceClock truth{};
             protocol::decodeClock(r.truth(protocol::readClock()), truth);
             return expectField("year", r.dm.image().clock.year, 99, truth.year, clean);
         }},
        {"clock set",
         protocol::code::WriteClock,
         -1,
         0,
         {5, protocol::code::Clock}, // set, then read back
         false,
         {},
         [](MatrixRig &r) { clickNamed(r, "WorkDateTimeSyncBtn"); },
         {},
         noImageCheck},
        {"display test 2",
         protocol::code::SerialSend,
         -1,
         50,
         {protocol::code::SerialSend},
         false,
         {},
         runTestTwo,
         {},
         noImageCheck},
        {"stand-alone script write",
         protocol::code::MemoryWrite,
         -1,
         3000,
         {protocol::code::MemoryWrite},
         false,
         {},
         [](MatrixRig &r) { clickNamed(r, "WriteFutabaTestFramBtn"); },
         {},
         noImageCheck,
         scriptWriteMessage},
        {"watchdog pulse",
         protocol::code::OutputTask,
         -1,
         0,
         {protocol::code::State, protocol::code::OutputTask},
         false,
         prepareWatchdog,
         runPulse,
         {},
         checkRelayOff,
         mayStillBeOnMessage},
        // The outputs each switch reads first, so that it changes only its own.
        {"watchdog pulse outputs read",
         protocol::code::State,
         0,
         500,
         {protocol::code::State, protocol::code::OutputTask},
         false,
         prepareWatchdog,
         runPulse,
         {},
         checkRelayOff,
         mayStillBeOnMessage},
    };
    return ops;
}

struct FaultColumn {
    const char *name;
    Fault::Kind kind;
};

const FaultColumn kFaults[] = {
    {"drop", Fault::Kind::Drop},
    {"delay past time-out", Fault::Kind::Delay},
    {"error reply", Fault::Kind::ErrorReply},
    {"duplicate", Fault::Kind::Duplicate},
    {"late reply", Fault::Kind::Late},
    {"unplug", Fault::Kind::Unplug},
    {"notice", Fault::Kind::Notice},
};

// What the engineer may be told under each fault. Nothing may blame the controller's
// silence after it was pulled out, nor blame a pulled controller for a failed check.
QString untrueMessages(const QStringList &messages, Fault::Kind kind, const Operation &op)
{
    QStringList wrong;
    for (const QString &m : messages) {
        bool ok = false;
        if (op.ownMessage && kind != Fault::Kind::Duplicate && op.ownMessage(m, kind))
            continue;
        switch (kind) {
        case Fault::Kind::Duplicate:
        case Fault::Kind::Notice:
            ok = false; // a repeated reply or a notice is nothing to report
            break;
        case Fault::Kind::Unplug:
            ok = m == link::kDisconnectedText;
            break;
        case Fault::Kind::ErrorReply:
            ok = m == test::kNoReply || m.startsWith(kVerifyFailedPrefix);
            break;
        default: // no reply in time
            ok = m == test::kNoReply || m.startsWith(kVerifyFailedPrefix);
            break;
        }
        if (!ok)
            wrong << m;
    }
    if (kind == Fault::Kind::ErrorReply && !messages.contains(test::kNoReply))
        wrong << QStringLiteral("(the error reply was not reported)");
    return wrong.join(QStringLiteral(" | "));
}

class FaultMatrix : public ::testing::TestWithParam<std::tuple<std::size_t, std::size_t>> {};

TEST_P(FaultMatrix, EndsTellsTheTruthKeepsTheImageHonestAndTheNextRunWorks)
{
    const Operation &op = operations()[std::get<0>(GetParam())];
    const FaultColumn &column = kFaults[std::get<1>(GetParam())];
    MatrixRig r;
    ASSERT_TRUE(r.connected);
    if (op.prepare)
        op.prepare(r);
    if (op.poison)
        op.poison(r);
    r.sent.clear();
    r.prompts.messages.clear();

    Fault fault;
    fault.kind = column.kind;
    fault.code = op.faultCode;
    fault.sub = op.faultSub;
    fault.delayMs = op.replyTimeoutMs + 300;
    r.transport.addFault(r.id, fault);

    // No hang: the operation ends (the longest wait in these operations is 5 s).
    QElapsedTimer t;
    t.start();
    op.start(r);
    EXPECT_TRUE(test::waitUntil([&] { return !r.busy(); }, 20000)) << "still running";
    EXPECT_LT(t.elapsed(), 20000);
    if (column.kind == Fault::Kind::Unplug) {
        EXPECT_LT(t.elapsed(), 3000) << "waits ran out after the unplug";
    }

    // Nothing of another operation on the wire meanwhile.
    for (const link::Payload &p : r.sent)
        EXPECT_TRUE(op.codes.count(p[0])) << "request code " << int(p[0]);
    // Late and delayed replies come in now and are stored (they are answers).
    test::spin(fault.delayMs + 50);
    EXPECT_TRUE(r.strayAnswers.isEmpty()) << r.strayAnswers.join(" | ").toStdString();
    const QString untrue = untrueMessages(r.prompts.messages, column.kind, op);
    EXPECT_TRUE(untrue.isEmpty()) << untrue.toStdString();
    const QString image = op.checkImage(r, false);
    EXPECT_TRUE(image.isEmpty()) << image.toStdString();

    // The next run, without a fault, works (after a replug and a description when the
    // controller was pulled out).
    if (column.kind == Fault::Kind::Unplug) {
        EXPECT_FALSE(r.dm.hasDevice());
        r.transport.plug(r.id);
        ASSERT_TRUE(test::waitUntil([&] { return r.dm.isConnected(); }));
        r.describe();
    }
    r.prompts.messages.clear();
    r.strayAnswers.clear();
    r.sent.clear();
    if (op.prepare)
        op.prepare(r);
    if (op.poison)
        op.poison(r);
    op.start(r);
    EXPECT_TRUE(test::waitUntil([&] { return !r.busy(); }, 20000));
    EXPECT_TRUE(r.prompts.messages.isEmpty()) << r.prompts.messages.join(" | ").toStdString();
    EXPECT_TRUE(r.strayAnswers.isEmpty()) << r.strayAnswers.join(" | ").toStdString();
    const QString after = op.checkImage(r, true);
    EXPECT_TRUE(after.isEmpty()) << after.toStdString();
}

std::string cellName(const ::testing::TestParamInfo<FaultMatrix::ParamType> &info)
{
    std::string name = std::string(operations()[std::get<0>(info.param)].name) + "_under_" +
                       kFaults[std::get<1>(info.param)].name;
    for (char &c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}

} // namespace

INSTANTIATE_TEST_SUITE_P(EveryOperationUnderEveryFault, FaultMatrix,
                         ::testing::Combine(::testing::Range<std::size_t>(0, operations().size()),
                                            ::testing::Range<std::size_t>(0, std::size(kFaults))),
                         cellName);

// ---- a second controller replacing the first ---------------------------------------------------

namespace {

// What the window was doing for the first controller when the second arrived.
struct ReplacementRow {
    const char *name;
    int faultCode; // the first controller's fault, on the request the row depends on
    // Starts the work on the first controller, scripts the fault where the row depends on
    // it, and plugs the second in while the work runs.
    std::function<void(MatrixRig &, const Fault &, const QString &second)> run;
};

// A configuration write clicked during a description read; B arrives during the read.
void writeQueuedBehindDescription(MatrixRig &r, const Fault &fault, const QString &second)
{
    r.transport.addFault(r.id, fault);
    QTimer::singleShot(0, [&r, second] {
        clickNamed(r, "WriteCfgBtn");
        r.transport.plug(second);
    });
    r.describe();
}

// The watchdog's pulse (5 s) is on at the first controller when the second arrives.
void pulseOnWhenReplaced(MatrixRig &r, const Fault &fault, const QString &second)
{
    prepareWatchdog(r);
    r.window->watchDogPage()
        ->findChild<QSpinBox *>(QStringLiteral("PingUprTimeEdit"))
        ->setValue(5000);
    service::Watchdog &dog = r.window->watchDogPage()->watchdog();
    dog.manualPing();
    ASSERT_TRUE(r.scriptedEcho->reply(test::ScriptedEcho::timedOut()));
    ASSERT_TRUE(test::waitUntil([&] { return dog.pulse() == service::Watchdog::Pulse::On; }));
    // Taken by the controller, not just queued to it: the fault is for what follows.
    ASSERT_TRUE(test::waitUntil([&] {
        link::MonitorState state{};
        protocol::decodeState(r.truth(protocol::readState(0)), state);
        return (state.relays & 0x01) != 0;
    }));
    r.transport.addFault(r.id, fault); // on the switch-off the first is owed
    r.transport.plug(second);
}

const ReplacementRow kReplacementRows[] = {
    {"configuration write queued behind a description read", protocol::code::ConfigPage,
     writeQueuedBehindDescription},
    {"watchdog pulse on", protocol::code::OutputTask, pulseOnWhenReplaced},
};

class ReplacementMatrix : public ::testing::TestWithParam<std::tuple<std::size_t, std::size_t>> {};

TEST_P(ReplacementMatrix, TheSecondReceivesNothingMeantForTheFirstAndTheEngineerIsToldTheTruth)
{
    const ReplacementRow &row = kReplacementRows[std::get<0>(GetParam())];
    const FaultColumn &column = kFaults[std::get<1>(GetParam())];
    MatrixRig r;
    ASSERT_TRUE(r.connected);
    sim::SimDeviceOptions options;
    options.firmware = sim::fullControllerFirmware24();
    options.realTime = false;
    const QString second = r.transport.addDevice(std::move(options));

    Fault fault;
    fault.kind = column.kind;
    fault.code = row.faultCode;
    fault.delayMs = 1300;
    row.run(r, fault, second);
    ASSERT_TRUE(test::waitUntil([&] { return r.dm.currentDevice().id == second; }, 5000));
    EXPECT_TRUE(test::waitUntil([&] { return !r.busy(); }, 20000)) << "still running";
    test::spin(fault.delayMs + 50);

    // Nothing written to the second: no queued write, no pulse end, no owed switch-off.
    for (const link::Payload &p : r.transport.receivedRequests(second)) {
        const int code = p[link::pos::Code];
        EXPECT_TRUE(code != protocol::code::OutputTask && code != protocol::code::WriteConfigPage)
            << "request " << code << " reached the second controller";
    }
    EXPECT_TRUE(r.strayAnswers.isEmpty()) << r.strayAnswers.join(" | ").toStdString();
    // The relay is off at the first, or the engineer was told it may not be.
    link::MonitorState first{};
    r.transport.withFirmware(r.id, [&](sim::Firmware &fw) {
        protocol::decodeState(fw.handle(protocol::readState(0)).front(), first);
    });
    const bool warned =
        std::any_of(r.prompts.messages.begin(), r.prompts.messages.end(), [](const QString &m) {
            return m.contains(QStringLiteral("Реле_1 контроллера")) &&
                   m.contains(QStringLiteral("может оставаться"));
        });
    if (first.relays & 0x01) {
        EXPECT_TRUE(warned) << "relay 1 of the first is on and nobody said so";
    }
    // A warning only where the release was not confirmed, never for a queued write.
    if (row.faultCode != protocol::code::OutputTask) {
        EXPECT_FALSE(warned);
    }

    // The second works: described, and the watchdog's next pulse goes to it alone.
    r.prompts.messages.clear();
    r.describe();
    EXPECT_TRUE(r.prompts.messages.isEmpty()) << r.prompts.messages.join(" | ").toStdString();
}

std::string replacementCellName(const ::testing::TestParamInfo<ReplacementMatrix::ParamType> &info)
{
    std::string name = std::string(kReplacementRows[std::get<0>(info.param)].name) + "_under_" +
                       kFaults[std::get<1>(info.param)].name;
    for (char &c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}

} // namespace

INSTANTIATE_TEST_SUITE_P(
    WhileASecondControllerArrives, ReplacementMatrix,
    ::testing::Combine(::testing::Range<std::size_t>(0, std::size(kReplacementRows)),
                       ::testing::Range<std::size_t>(0, std::size(kFaults))),
    replacementCellName);

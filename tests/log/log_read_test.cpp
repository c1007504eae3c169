#include "link/bytes.h"
#include "log/log_transfer.h"
#include "sim/memory.h"
#include "support/sim_controller.h"

#include <gtest/gtest.h>

#include <numeric>

using namespace vardex;
using namespace vardex::log;
namespace {

// The shared simulated controller, plugged, answering without added latency.
struct SimLinkRig : test::SimController {
    explicit SimLinkRig(sim::Firmware firmware) : SimController(std::move(firmware), 0) { plug(); }
};

// What the controller holds in ring slot n, as the program stores it.
LogRecord controllerRecord(SimLinkRig &rig, int n)
{
    LogRecord r;
    rig.transport.withFirmware(rig.id, [&](sim::Firmware &fw) {
        r = LogRecord::fromPayload(*fw.eventLog().record(static_cast<std::size_t>(n)));
    });
    return r;
}

std::vector<int> requestedIndices(const SimLinkRig &rig)
{
    std::vector<int> out;
    for (const auto &p : rig.received(11))
        out.push_back(p[link::pos::Arg1] | (p[link::pos::Arg2] << 8));
    return out;
}

FullReadResult runFullRead(SimLinkRig &rig, RecordStore &store,
                           const FullReadObserver &observer = {}, LogRecord working = {})
{
    FullReadResult result;
    rig.dm.runOperation(
        [&](link::OperationContext &ctx) { result = readFullLog(ctx, store, working, observer); });
    return result;
}

void setRingPositions(SimLinkRig &rig, std::uint16_t a, std::uint16_t b)
{
    rig.transport.withFirmware(rig.id, [&](sim::Firmware &fw) {
        std::array<std::uint8_t, 4> words{};
        bytes::putU16(words, 0, a);
        bytes::putU16(words, 2, b);
        fw.memory().write(sim::Memory::kLogPointers, words);
    });
}

} // namespace

TEST(LogFullRead, ReadsEveryRecordOnceInOrderAndMarksTheStoreLoaded)
{
    SimLinkRig rig(sim::controllerWithLog(24));
    ASSERT_TRUE(rig.connected);
    RecordStore store;
    int started = 0;
    FullReadObserver observer;
    observer.started = [&](int total) { started = total; };
    const FullReadResult result = runFullRead(rig, store, observer);

    EXPECT_TRUE(result.result.ok());
    EXPECT_EQ(started, 24);
    EXPECT_EQ(result.read, 24);
    EXPECT_TRUE(result.missing.empty());
    std::vector<int> expected(24);
    std::iota(expected.begin(), expected.end(), 1);
    EXPECT_EQ(requestedIndices(rig), expected);
    EXPECT_TRUE(store.isLoaded());
    EXPECT_EQ(store.count(), 24);
    for (int n : {1, 13, 24})
        EXPECT_EQ(store.record(n).encode(), controllerRecord(rig, n).encode()) << "slot " << n;
    EXPECT_EQ(result.working.encode(), controllerRecord(rig, 24).encode());
}

TEST(LogFullRead, FullRingReadsIndices1To16384AndNeverZero)
{
    SimLinkRig rig(sim::controllerWithFullLog(5));
    RecordStore store;
    const FullReadResult result = runFullRead(rig, store);
    EXPECT_EQ(result.read, RecordStore::kSlots);
    const std::vector<int> indices = requestedIndices(rig);
    ASSERT_EQ(indices.size(), static_cast<std::size_t>(RecordStore::kSlots));
    for (int n = 1; n <= RecordStore::kSlots; ++n)
        ASSERT_EQ(indices[n - 1], n);
    // The ring has wrapped: slot 1 holds record 16385.
    EXPECT_EQ(store.record(1).number, 16385u);
    EXPECT_EQ(result.working.encode(), controllerRecord(rig, RecordStore::kSlots).encode());
}

TEST(LogFullRead, RingPositionsOutOfRangeOrEqualReadNothingAndChangeNothing)
{
    for (auto [a, b] : {std::pair<int, int>{4100, 4}, {4, 4096}, {9, 9}}) {
        SimLinkRig rig(sim::controllerWithLog(24));
        setRingPositions(rig, static_cast<std::uint16_t>(a), static_cast<std::uint16_t>(b));
        RecordStore store;
        LogRecord earlier;
        earlier.number = 42;
        store.setRecord(1, earlier);
        store.setLoaded(1);
        const FullReadResult result = runFullRead(rig, store);
        EXPECT_TRUE(result.result.ok());
        EXPECT_EQ(result.total, 0);
        EXPECT_TRUE(rig.received(11).empty());
        EXPECT_EQ(store.count(), 1);
        EXPECT_EQ(store.record(1).number, 42u);
    }
}

TEST(LogFullRead, UnansweredRingPositionsStopWithNoReplyAndChangeNothing)
{
    SimLinkRig rig(sim::controllerWithLog(24));
    rig.transport.addFault(rig.id, {sim::Fault::Kind::Drop, 32});
    RecordStore store;
    store.setLoaded(3);
    const FullReadResult result = runFullRead(rig, store);
    EXPECT_EQ(result.result.status, link::OpStatus::NoReply);
    EXPECT_EQ(result.result.message, QStringLiteral("Нет ответа контроллера"));
    EXPECT_TRUE(rig.received(11).empty());
    EXPECT_EQ(store.count(), 3);
}

TEST(LogFullRead, DroppedRecordIsAskedAgainAndCountedOnlyWhenTheRetryFailsToo)
{
    SimLinkRig rig(sim::controllerWithLog(24));
    RecordStore store;
    FullReadObserver observer;
    observer.recordStored = [&](int n, const LogRecord &) {
        if (n == 4) // record 5 lost once: the retry brings it
            rig.transport.addFault(rig.id, {sim::Fault::Kind::Drop, 11});
        if (n == 9) { // record 10 lost twice: its slot repeats record 9
            rig.transport.addFault(rig.id, {sim::Fault::Kind::Drop, 11});
            rig.transport.addFault(rig.id, {sim::Fault::Kind::Drop, 11});
        }
    };
    const FullReadResult result = runFullRead(rig, store, observer);
    EXPECT_EQ(result.read, 24);
    EXPECT_EQ(result.missing, std::vector<int>{10});
    EXPECT_EQ(store.missingSlots(), std::vector<int>{10});
    EXPECT_EQ(store.record(5).encode(), controllerRecord(rig, 5).encode());
    EXPECT_EQ(store.record(10).encode(), controllerRecord(rig, 9).encode());
    EXPECT_EQ(store.record(11).encode(), controllerRecord(rig, 11).encode());
    EXPECT_EQ(rig.received(11).size(), 24u + 2u);
}

TEST(LogFullRead, ErrorReplyEndsTheRecordsWaitsAndIsNeverDecoded)
{
    SimLinkRig rig(sim::controllerWithLog(24));
    RecordStore store;
    FullReadObserver observer;
    observer.recordStored = [&](int n, const LogRecord &) {
        if (n == 2)
            rig.transport.addFault(rig.id, {sim::Fault::Kind::ErrorReply, 11});
    };
    const FullReadResult result = runFullRead(rig, store, observer);
    EXPECT_TRUE(result.missing.empty());
    EXPECT_EQ(store.record(3).encode(), controllerRecord(rig, 3).encode());
}

TEST(LogFullRead, StopEndsAfterTheRecordInHandAndKeepsWhatWasRead)
{
    SimLinkRig rig(sim::controllerWithLog(24));
    RecordStore store;
    FullReadObserver observer;
    auto poll = link::DataModule::TickOutcome::Ran;
    observer.recordStored = [&](int n, const LogRecord &) {
        if (n == 3)
            poll = rig.dm.runTick(&poll, [](link::OperationContext &) {});
        if (n == 7)
            rig.dm.cancel();
    };
    const FullReadResult result = runFullRead(rig, store, observer);
    EXPECT_EQ(poll, link::DataModule::TickOutcome::Deferred)
        << "a polling tick ran in the middle of a record";
    EXPECT_EQ(result.result.status, link::OpStatus::Cancelled);
    EXPECT_EQ(result.read, 7);
    EXPECT_EQ(store.count(), 7);
    EXPECT_EQ(rig.received(11).size(), 7u);
    EXPECT_EQ(result.working.encode(), controllerRecord(rig, 7).encode());
}

TEST(LogFullRead, UnplugEndsTheReadAndKeepsTheRecordsReadSoFar)
{
    SimLinkRig rig(sim::controllerWithLog(24));
    RecordStore store;
    FullReadObserver observer;
    observer.recordStored = [&](int n, const LogRecord &) {
        if (n == 10)
            rig.transport.unplug(rig.id);
    };
    const FullReadResult result = runFullRead(rig, store, observer);
    EXPECT_EQ(result.result.status, link::OpStatus::Disconnected);
    EXPECT_GE(result.read, 10);
    EXPECT_LT(result.read, 24);
    EXPECT_EQ(store.count(), result.read);
    EXPECT_EQ(store.record(10).encode(), controllerRecord(rig, 10).encode());
}

TEST(LogSingleRead, WaitsForBothHalvesOfTheRecord)
{
    SimLinkRig rig(sim::controllerWithLog(24));
    std::optional<LogRecord> record;
    rig.dm.runOperation(
        [&](link::OperationContext &ctx) { record = readSingleRecord(ctx, 17, 1000); });
    ASSERT_TRUE(record);
    EXPECT_EQ(record->encode(), controllerRecord(rig, 17).encode());
    // Flag bytes come from the second half.
    EXPECT_EQ(record->flagGroups, controllerRecord(rig, 17).flagGroups);

    rig.transport.addFault(rig.id, {sim::Fault::Kind::Drop, 11});
    rig.dm.runOperation(
        [&](link::OperationContext &ctx) { record = readSingleRecord(ctx, 17, 100); });
    EXPECT_FALSE(record);
}

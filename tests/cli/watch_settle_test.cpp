// The watch's checked switch-off and identity read against the simulated controller,
// under every fault it can script: whatever the outcome, what it claims is what the
// controller holds, and the other outputs are never touched.
#include "cli/watch_settle.h"

#include "link/protocol.h"
#include "support/in_operation.h"
#include "support/sim_controller.h"

#include <gtest/gtest.h>

using namespace vardex;
using cli::SwitchOffCheck;
using sim::Fault;

namespace {

constexpr int kRelay1 = 8;
constexpr std::uint8_t kRelaysOn = 0x05; // relay 1 (the watched) and relay 3
constexpr std::uint8_t kSwitchesOn = 0x12;

struct SettleRig : ::testing::Test {
    test::SimController c{sim::fullControllerFirmware24(), 0};

    void SetUp() override
    {
        c.transport.withFirmware(c.id, [](sim::Firmware &fw) {
            fw.handle(link::protocol::writeOutputTask(0, kSwitchesOn, kRelaysOn, {}));
            fw.setIdentity({24, 3, 11, 2, 17, 0, 4, 2, 1, 9});
        });
        ASSERT_TRUE(c.plug());
    }
    sim::OutputTask held()
    {
        sim::OutputTask t;
        c.transport.withFirmware(c.id, [&t](sim::Firmware &fw) { t = fw.outputTask(); });
        return t;
    }
    int outputTasksReceived() const { return c.requestCount(link::protocol::code::OutputTask); }
};

} // namespace

TEST_F(SettleRig, SwitchesOnlyTheItemOffAndConfirmsIt)
{
    EXPECT_EQ(test::asOperation(c.dm, cli::readControllerSerial), "24.3.11.2.17.0.4.2.1.9.");
    EXPECT_EQ(test::asOperation(c.dm, cli::switchOffChecked, kRelay1), SwitchOffCheck::Confirmed);
    EXPECT_EQ(held().relays, kRelaysOn & ~0x01);
    EXPECT_EQ(held().switches, kSwitchesOn);
    EXPECT_EQ(outputTasksReceived(), 1);
}

TEST_F(SettleRig, AReadBackWithTheItemStillOnIsNotAConfirmation)
{
    // Relay 3 was never switched off: read back, it is on.
    EXPECT_EQ(test::asOperation(c.dm, cli::confirmSwitchedOff, kRelay1 + 2),
              SwitchOffCheck::StillOn);
    EXPECT_EQ(test::asOperation(c.dm, cli::confirmSwitchedOff, kRelay1 + 1),
              SwitchOffCheck::Confirmed);
    // High-side switch 2 (bit 1) is on, low-side switch 1 (bit 4) too.
    EXPECT_EQ(test::asOperation(c.dm, cli::confirmSwitchedOff, 1), SwitchOffCheck::StillOn);
    EXPECT_EQ(test::asOperation(c.dm, cli::confirmSwitchedOff, 4), SwitchOffCheck::StillOn);
    EXPECT_EQ(test::asOperation(c.dm, cli::confirmSwitchedOff, 0), SwitchOffCheck::Confirmed);
    EXPECT_EQ(outputTasksReceived(), 0);
}

TEST_F(SettleRig, AnIdentityAnsweredWithTheErrorReplyIsNoSerial)
{
    c.transport.addFault(c.id, {Fault::Kind::ErrorReply, link::protocol::code::Identity});
    EXPECT_TRUE(test::asOperation(c.dm, cli::readControllerSerial).isEmpty());
}

struct SettleFault {
    const char *name;
    Fault fault;
};

class SettleUnderFault : public SettleRig, public ::testing::WithParamInterface<SettleFault> {};

TEST_P(SettleUnderFault, EndsAndClaimsOnlyWhatTheControllerHolds)
{
    c.transport.addFault(c.id, GetParam().fault);
    const SwitchOffCheck check = test::asOperation(c.dm, cli::switchOffChecked, kRelay1);
    const sim::OutputTask now = held();
    switch (check) {
    case SwitchOffCheck::Confirmed:
        EXPECT_EQ(now.relays & 0x01, 0);
        break;
    case SwitchOffCheck::StillOn:
        EXPECT_EQ(now.relays & 0x01, 1);
        break;
    case SwitchOffCheck::NotSent:
        EXPECT_EQ(outputTasksReceived(), 0);
        EXPECT_EQ(now.relays, kRelaysOn);
        break;
    case SwitchOffCheck::NotReadBack:
        EXPECT_EQ(outputTasksReceived(), 1);
        break;
    }
    // Never a guess: relay 3 and the switches keep what they had.
    EXPECT_EQ(now.relays & 0x04, 0x04);
    EXPECT_EQ(now.switches, kSwitchesOn);
    // A failed state read sends nothing, an unplug too.
    const int code = GetParam().fault.code;
    const auto kind = GetParam().fault.kind;
    if ((code == link::protocol::code::State || code < 0) &&
        (kind == Fault::Kind::Drop || kind == Fault::Kind::ErrorReply ||
         kind == Fault::Kind::Late || kind == Fault::Kind::Unplug)) {
        EXPECT_EQ(check, SwitchOffCheck::NotSent);
    }
}

namespace {

constexpr int kState = link::protocol::code::State;
constexpr int kTask = link::protocol::code::OutputTask;

} // namespace

INSTANTIATE_TEST_SUITE_P(
    Faults, SettleUnderFault,
    ::testing::Values(SettleFault{"DropState", {Fault::Kind::Drop, kState, 0}},
                      SettleFault{"ErrorOnState", {Fault::Kind::ErrorReply, kState, 0}},
                      SettleFault{"DelayState", {Fault::Kind::Delay, kState, 0, 800}},
                      SettleFault{"DuplicateEverything", {Fault::Kind::Duplicate}},
                      SettleFault{"LateState", {Fault::Kind::Late, kState, 0}},
                      SettleFault{"NoticeBeforeEveryReply", {Fault::Kind::Notice}},
                      SettleFault{"UnplugOnState", {Fault::Kind::Unplug, kState, 0}},
                      SettleFault{"DropTaskAck", {Fault::Kind::Drop, kTask}},
                      SettleFault{"ErrorOnTask", {Fault::Kind::ErrorReply, kTask}},
                      SettleFault{"UnplugOnTask", {Fault::Kind::Unplug, kTask}},
                      SettleFault{"LateTaskAck", {Fault::Kind::Late, kTask}}),
    [](const auto &info) { return std::string(info.param.name); });

// The watch's side of a loan on a simulated controller with real owner locks: what the
// watch does when the borrower drops off, the pulse runs late, the controller is unplugged
// or replaced while it is lent. The two-process paths are in tests/program/owner_test.cpp.
#include "cli/watch_loan.h"
#include "platform/owner_lock.h"
#include "support/sim_controller.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vardex;

namespace {

// A borrower as the watch sees it: requests and returns arrive as signals.
class TestLending final : public link::Lending {
public:
    void wait(int ms) override { said << QStringLiteral("wait %1").arg(ms); }
    void lend() override { said << QStringLiteral("lent"); }
    void refuse(const QString &why) override { said << QStringLiteral("refused ") + why; }
    QStringList said;
};

struct LoanRig {
    LoanRig()
    {
        sim.transport.setOwnerGate(locks);
        EXPECT_TRUE(sim.plug());
        key = sim.transport.ownerKeyOf(sim.id);
        WatchLoan::Hooks hooks;
        hooks.pulseLeftMs = [this] { return pulseLeftMs; };
        hooks.note = [this](const QString &line) { notes << line; };
        hooks.resumed = [this](bool back) { resumed << back; };
        hooks.awayChanged = [this](bool isAway, const QString &) { away << isAway; };
        loan = std::make_unique<WatchLoan>(sim.dm, lending, std::move(hooks));
        loan->setRetakeMs(400);
    }
    using WatchLoan = cli::WatchLoan;

    void ask() { emit lending.requested({QStringLiteral("vardex"), 4711, {}, false}); }
    bool lent()
    {
        return test::waitUntil([&] { return lending.said.contains("lent"); }, 3000);
    }

    QTemporaryDir dir;
    std::shared_ptr<platform::OwnerLocks> locks = std::make_shared<platform::OwnerLocks>(
        dir.path(), link::OwnerRecord{QStringLiteral("vardex-cli watch"), 1, {}, true});
    platform::OwnerLocks borrower{dir.path(), {QStringLiteral("vardex"), 4711, {}, false}};
    test::SimController sim;
    QString key;
    TestLending lending;
    int pulseLeftMs = 0;
    QStringList notes;
    QList<bool> resumed;
    QList<bool> away; // what the service was told: it shows "lent" until the false
    std::unique_ptr<WatchLoan> loan;
};

} // namespace

TEST(WatchLoan, LendsAtOnceWithNoPulseAndTakesBackWhenReturned)
{
    LoanRig rig;
    rig.ask();
    ASSERT_TRUE(rig.lent());
    EXPECT_FALSE(rig.sim.dm.hasDevice());
    EXPECT_FALSE(rig.locks->holder(rig.key)) << "the lock is free for the borrower";
    EXPECT_TRUE(rig.loan->away());

    ASSERT_TRUE(rig.borrower.claim(rig.key).granted);
    rig.borrower.release(rig.key);
    emit rig.lending.returned();
    ASSERT_TRUE(test::waitUntil([&] { return !rig.resumed.isEmpty(); }, 3000));
    EXPECT_EQ(rig.resumed, QList<bool>{true});
    EXPECT_TRUE(rig.sim.dm.hasDevice());
    EXPECT_EQ(rig.locks->holder(rig.key)->program, QStringLiteral("vardex-cli watch"));
    ASSERT_EQ(rig.notes.size(), 1) << "one line per loan";
    EXPECT_TRUE(rig.notes[0].startsWith(QStringLiteral("контроллер был отдан: vardex (pid 4711)")));
}

TEST(WatchLoan, ABorrowerAskingASecondTimeDuringALoanIsRefused)
{
    LoanRig rig;
    rig.ask();
    ASSERT_TRUE(rig.lent());
    rig.ask();
    EXPECT_EQ(rig.lending.said.last(), QStringLiteral("refused контроллер уже отдан"));
}

// Fault rows: the borrower or the controller misbehaves around the loan.
enum class LoanFault { BorrowerDrops, PulseRunsLate, UnplugWhileLent, ReplacedWhileLent };

struct LoanFaultCase {
    const char *name;
    LoanFault fault;
};

class WatchLoanFaults : public ::testing::TestWithParam<LoanFaultCase> {};

TEST_P(WatchLoanFaults, TheWatchNeverLosesTrackOfItsController)
{
    LoanRig rig;
    const QString own = rig.sim.id;
    switch (GetParam().fault) {
    case LoanFault::BorrowerDrops:
        // Asked during a pulse; the borrower dies before the pulse ends.
        rig.pulseLeftMs = 1000;
        rig.ask();
        EXPECT_EQ(rig.lending.said, QStringList{"wait 2000"});
        emit rig.lending.returned();
        rig.pulseLeftMs = 0;
        test::waitUntil([] { return false; }, 3 * cli::WatchLoan::kPollMs);
        EXPECT_FALSE(rig.lending.said.contains("lent"));
        EXPECT_FALSE(rig.loan->away());
        EXPECT_TRUE(rig.sim.dm.hasDevice()) << "nothing was let go";
        EXPECT_EQ(rig.away, (QList<bool>{true, false}));
        return;
    case LoanFault::PulseRunsLate:
        // Nothing is lent until the pulse's switch-off has gone out.
        rig.pulseLeftMs = 500;
        rig.ask();
        test::waitUntil([] { return false; }, 3 * cli::WatchLoan::kPollMs);
        EXPECT_FALSE(rig.lending.said.contains("lent"));
        EXPECT_TRUE(rig.sim.dm.hasDevice());
        rig.pulseLeftMs = 0;
        ASSERT_TRUE(rig.lent());
        EXPECT_EQ(rig.lending.said.first(), QStringLiteral("wait 1500"));
        emit rig.lending.returned();
        break;
    case LoanFault::UnplugWhileLent:
        rig.ask();
        ASSERT_TRUE(rig.lent());
        rig.sim.transport.unplug(own);
        emit rig.lending.returned();
        ASSERT_TRUE(test::waitUntil([&] { return !rig.resumed.isEmpty(); }, 5000));
        EXPECT_EQ(rig.resumed, QList<bool>{false}) << "gone: the watch ends as on an unplug";
        EXPECT_TRUE(rig.notes.last().contains(QStringLiteral("не вернулся")));
        EXPECT_EQ(rig.away, (QList<bool>{true, false}));
        return;
    case LoanFault::ReplacedWhileLent: {
        rig.ask();
        ASSERT_TRUE(rig.lent());
        sim::SimDeviceOptions other;
        other.firmware = sim::fullControllerFirmware24();
        const QString second = rig.sim.transport.addDevice(std::move(other));
        rig.sim.transport.plug(second);
        test::waitUntil([] { return false; }, 200);
        EXPECT_FALSE(rig.sim.dm.hasDevice()) << "the other controller is let go at once";
        EXPECT_TRUE(rig.sim.transport.receivedRequests(second).empty());
        EXPECT_TRUE(rig.notes.last().contains(second));
        emit rig.lending.returned();
        break;
    }
    }
    ASSERT_TRUE(test::waitUntil([&] { return !rig.resumed.isEmpty(); }, 5000));
    EXPECT_EQ(rig.resumed, QList<bool>{true});
    EXPECT_EQ(rig.sim.dm.currentDevice().id, own);
    EXPECT_EQ(rig.away, (QList<bool>{true, false})) << "every loan ends once";
}

INSTANTIATE_TEST_SUITE_P(
    Faults, WatchLoanFaults,
    ::testing::Values(LoanFaultCase{"BorrowerDrops", LoanFault::BorrowerDrops},
                      LoanFaultCase{"PulseRunsLate", LoanFault::PulseRunsLate},
                      LoanFaultCase{"UnplugWhileLent", LoanFault::UnplugWhileLent},
                      LoanFaultCase{"ReplacedWhileLent", LoanFault::ReplacedWhileLent}),
    [](const auto &info) { return std::string(info.param.name); });

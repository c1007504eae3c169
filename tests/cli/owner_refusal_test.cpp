// A command that finds the controller held by a program that does not lend sends it
// nothing and names the holder with exit code 3 (a watch waits for it instead); listing
// names it without borrowing.
#include "cli_rig.h"
#include "platform/owner_lock.h"

#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

using namespace vardex;

namespace {

struct HeldRig : test::CliRig {
    HeldRig()
    {
        makeOwnerGate = [this](const QString &program, bool lends, bool borrows) {
            auto locks = std::make_shared<platform::OwnerLocks>(
                dir.path(), link::OwnerRecord{program, 2, {}, lends});
            locks->setBorrowAutomatically(borrows);
            return locks;
        };
        EXPECT_TRUE(window.claim(link::ownerKeyForSimulated(sim::kDemoDeviceId)).granted);
    }
    QTemporaryDir dir;
    platform::OwnerLocks window{dir.path(),
                                {QStringLiteral("vardex"), 1, QStringLiteral("x.service"), false}};
};

} // namespace

TEST(CliOwner, ACommandOnAHeldControllerSendsNothingAndNamesTheHolder)
{
    const QString held = QStringLiteral("vardex-cli: контроллер занят: его держит vardex (pid 1, "
                                        "служба x.service); остановите службу: systemctl stop "
                                        "x.service");
    {
        HeldRig rig;
        const cli::Captured c = rig.run({"--demo", "state"});
        EXPECT_EQ(c.exitCode, 3);
        EXPECT_EQ(c.err, held + QLatin1Char('\n'));
        EXPECT_TRUE(rig.sim->receivedRequests(sim::kDemoDeviceId).empty());
    }
    // The watch waits for the window to let go; stopped meanwhile, it never sent anything.
    HeldRig rig;
    QTimer::singleShot(300, [&rig] { rig.interrupted = true; });
    const cli::Captured c = rig.run({"--demo", "watch", "127.0.0.1", "--output", "relay1"});
    EXPECT_EQ(c.exitCode, 0);
    EXPECT_EQ(c.err, held + QStringLiteral("; наблюдение начнётся, когда его отпустят\n"));
    EXPECT_TRUE(c.out.isEmpty()) << c.out.toStdString();
    EXPECT_TRUE(rig.sim->receivedRequests(sim::kDemoDeviceId).empty());
}

TEST(CliOwner, ListNamesTheHolderWithoutTakingTheController)
{
    HeldRig rig;
    const cli::Captured c = rig.run({"--demo", "list"});
    EXPECT_EQ(c.exitCode, 0);
    EXPECT_TRUE(c.out.contains("не открывается: контроллер занят: его держит vardex (pid 1"))
        << c.out.toStdString();
    EXPECT_EQ(rig.window.holder(link::ownerKeyForSimulated(sim::kDemoDeviceId))->pid, 1);
}

// The owner lock and the lending socket on a real file system, in a folder of the test's
// own. Two OwnerLocks objects are two programs: the kernel keeps their open-file-
// description locks apart even inside one process.
#include "platform/owner_lock.h"
#include "support/test_support.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <future>
#include <thread>

#include <gtest/gtest.h>

using namespace vardex;
using platform::LendServer;
using platform::OwnerLocks;

namespace {

const QString kKey = QStringLiteral("serial-QB1");

link::OwnerRecord program(const char *name, qint64 pid, bool lends = false)
{
    return {QString::fromUtf8(name), pid, {}, lends};
}

// Runs the event loop (the lender's socket) until the future is ready.
template <typename T> T await(std::future<T> &f)
{
    test::waitUntil(
        [&] { return f.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 20000);
    return f.get();
}

} // namespace

TEST(OwnerLock, ASecondProgramIsRefusedAndTheHolderNamedUntilTheFirstLetsGo)
{
    QTemporaryDir dir;
    OwnerLocks window(dir.path(), program("vardex", 100));
    OwnerLocks cli(dir.path(), program("vardex-cli state", 200));

    ASSERT_TRUE(window.claim(kKey).granted);
    const link::Claim refused = cli.claim(kKey);
    EXPECT_FALSE(refused.granted);
    ASSERT_TRUE(refused.holder);
    EXPECT_EQ(*refused.holder, program("vardex", 100));
    EXPECT_TRUE(refused.error.contains(QStringLiteral("vardex (pid 100)")));
    EXPECT_EQ(cli.holder(kKey), program("vardex", 100));
    // Others may read the record, so the file is open to every user of the machine.
    EXPECT_EQ(QFile::permissions(dir.path() + "/" + kKey + ".lock") & QFile::WriteOther,
              QFile::WriteOther);

    const QList<platform::HeldController> held = platform::heldControllers(dir.path());
    ASSERT_EQ(held.size(), 1);
    EXPECT_EQ(held[0].key, kKey);
    EXPECT_EQ(held[0].holder.pid, 100);

    window.release(kKey);
    EXPECT_FALSE(cli.holder(kKey));
    EXPECT_TRUE(platform::heldControllers(dir.path()).isEmpty());
    EXPECT_TRUE(cli.claim(kKey).granted);
    EXPECT_EQ(window.holder(kKey), program("vardex-cli state", 200));
}

TEST(OwnerLock, AStaleRecordOfAProgramThatDiedNamesNobody)
{
    QTemporaryDir dir;
    QFile stale(dir.path() + "/" + kKey + ".lock");
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write(link::encodeOwnerRecord(program("vardex", 5)));
    stale.close();
    OwnerLocks cli(dir.path(), program("vardex-cli state", 6));
    EXPECT_FALSE(cli.holder(kKey));
    EXPECT_TRUE(cli.claim(kKey).granted);
}

TEST(OwnerLock, ALinkWhereTheLockFileShouldBeIsRefused)
{
    QTemporaryDir dir;
    QTemporaryDir elsewhere;
    const QString target = elsewhere.path() + "/victim";
    ASSERT_TRUE(QFile::link(target, dir.path() + "/" + kKey + ".lock"));
    OwnerLocks cli(dir.path(), program("vardex-cli state", 6));
    const link::Claim c = cli.claim(kKey);
    EXPECT_FALSE(c.granted);
    EXPECT_FALSE(c.holder);
    EXPECT_FALSE(c.error.isEmpty());
    EXPECT_FALSE(QFile::exists(target)) << "nothing is created through the link";
}

TEST(OwnerLockDir, AForcedFolderIsMadePrivateAndAnOpenOneWithoutStickyBitRefused)
{
    QTemporaryDir base;
    const QString fresh = base.path() + "/locks";
    qputenv("VARDEX_LOCK_DIR", QFile::encodeName(fresh));
    EXPECT_EQ(platform::ownerLockDir(), fresh);
    struct stat st = {};
    ASSERT_EQ(::stat(QFile::encodeName(fresh).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);

    // Anyone could swap another's lock file in a folder open to all without the sticky bit.
    ASSERT_EQ(::chmod(QFile::encodeName(fresh).constData(), 0777), 0);
    EXPECT_TRUE(platform::ownerLockDir().isEmpty());
    ASSERT_EQ(::chmod(QFile::encodeName(fresh).constData(), 01777), 0);
    EXPECT_EQ(platform::ownerLockDir(), fresh);
    qunsetenv("VARDEX_LOCK_DIR");
}

TEST(OwnerLock, ServiceUnitComesFromTheCgroupOfAServiceOnly)
{
    EXPECT_EQ(platform::serviceUnitFromCgroup("0::/system.slice/vardex-watch@router.service\n"),
              QStringLiteral("vardex-watch@router.service"));
    EXPECT_EQ(platform::serviceUnitFromCgroup(
                  "12:pids:/\n1:name=systemd:/system.slice/vardex-watch@a.service\n"),
              QStringLiteral("vardex-watch@a.service"));
    EXPECT_EQ(platform::serviceUnitFromCgroup(
                  "0::/user.slice/user-1000.slice/user@1000.service/app.slice/x.scope\n"),
              QStringLiteral("user@1000.service"));
    EXPECT_EQ(platform::serviceUnitFromCgroup("0::/user.slice/user-1000.slice/session-2.scope\n"),
              QString());
    EXPECT_EQ(platform::serviceUnitFromCgroup(""), QString());
}

// ---- lending ----------------------------------------------------------------------------------

namespace {

// A watch holding the controller and lending it when asked (after a wait when told to).
struct Lender {
    explicit Lender(const QString &dir, int waitMs = 0)
        : locks(dir, program("vardex-cli watch", 300, true)), server(dir, kKey)
    {
        EXPECT_TRUE(locks.claim(kKey).granted);
        QString error;
        EXPECT_TRUE(server.listen(&error)) << error.toStdString();
        QObject::connect(&server, &link::Lending::requested, &server,
                         [this, waitMs](const link::OwnerRecord &b) {
                             borrowers << b;
                             if (waitMs > 0)
                                 server.wait(waitMs);
                             locks.release(kKey);
                             server.lend();
                         });
    }
    OwnerLocks locks;
    LendServer server;
    QList<link::OwnerRecord> borrowers;
};

} // namespace

TEST(OwnerLend, AOneOffCommandBorrowsFromTheWatchAndGivesItBackOnRelease)
{
    QTemporaryDir dir;
    Lender watch(dir.path(), 50);
    int returned = 0;
    QObject::connect(&watch.server, &link::Lending::returned, [&returned] { ++returned; });
    OwnerLocks cli(dir.path(), program("vardex-cli state", 400));
    cli.setBorrowAutomatically(true);

    auto claim = std::async(std::launch::async, [&] { return cli.claim(kKey); });
    const link::Claim c = await(claim);
    ASSERT_TRUE(c.granted) << c.error.toStdString();
    ASSERT_EQ(watch.borrowers.size(), 1);
    EXPECT_EQ(watch.borrowers[0], program("vardex-cli state", 400));
    EXPECT_EQ(watch.locks.holder(kKey), program("vardex-cli state", 400));

    cli.release(kKey);
    ASSERT_TRUE(test::waitUntil([&] { return returned == 1; }, 5000));
    EXPECT_FALSE(watch.locks.holder(kKey)) << "the lock was free before the watch heard";
    EXPECT_TRUE(watch.locks.claim(kKey).granted);
}

TEST(OwnerLend, WithoutAutomaticBorrowingTheWatchIsNotAsked)
{
    QTemporaryDir dir;
    Lender watch(dir.path());
    OwnerLocks secondWatch(dir.path(), program("vardex-cli watch", 500, true));
    const link::Claim c = secondWatch.claim(kKey);
    EXPECT_FALSE(c.granted);
    ASSERT_TRUE(c.holder);
    EXPECT_TRUE(c.holder->lends);
    QCoreApplication::processEvents();
    EXPECT_TRUE(watch.borrowers.isEmpty());
}

TEST(OwnerLend, ASecondBorrowerIsRefusedWhileTheFirstHasTheController)
{
    QTemporaryDir dir;
    Lender watch(dir.path());
    OwnerLocks first(dir.path(), program("vardex", 600));
    auto loan = std::async(std::launch::async, [&] { return first.borrow(kKey); });
    ASSERT_TRUE(await(loan).granted);
    ASSERT_TRUE(first.claim(kKey).granted);

    OwnerLocks second(dir.path(), program("vardex-cli state", 601));
    second.setBorrowAutomatically(true);
    auto refused = std::async(std::launch::async, [&] { return second.claim(kKey); });
    const link::Claim c = await(refused);
    EXPECT_FALSE(c.granted);
    ASSERT_TRUE(c.holder);
    EXPECT_EQ(c.holder->program, QStringLiteral("vardex")) << "the one holding it now is named";
    EXPECT_EQ(watch.borrowers.size(), 1);
}

TEST(OwnerLend, AWatchThatNeverAnswersCostsTheBorrowerABoundedWaitAndAReason)
{
    QTemporaryDir dir;
    OwnerLocks hung(dir.path(), program("vardex-cli watch", 700, true));
    ASSERT_TRUE(hung.claim(kKey).granted);
    LendServer server(dir.path(), kKey); // listens, never answers
    QString error;
    ASSERT_TRUE(server.listen(&error));
    OwnerLocks cli(dir.path(), program("vardex-cli state", 701));
    cli.setBorrowAutomatically(true);
    auto claim = std::async(std::launch::async, [&] { return cli.claim(kKey); });
    const link::Claim c = await(claim);
    EXPECT_FALSE(c.granted);
    EXPECT_TRUE(c.error.contains(QStringLiteral("vardex-cli watch (pid 700)")));
    EXPECT_TRUE(c.error.contains(QStringLiteral("сторож не отдал контроллер вовремя")))
        << c.error.toStdString();
}

TEST(OwnerLend, AWatchThatDiedLeavesASocketNobodyAnswersAndTheControllerFree)
{
    QTemporaryDir dir;
    {
        OwnerLocks dead(dir.path(), program("vardex-cli watch", 800, true));
        ASSERT_TRUE(dead.claim(kKey).granted);
        LendServer server(dir.path(), kKey);
        QString error;
        ASSERT_TRUE(server.listen(&error));
    }
    OwnerLocks cli(dir.path(), program("vardex-cli state", 801));
    cli.setBorrowAutomatically(true);
    EXPECT_TRUE(cli.claim(kKey).granted);
}

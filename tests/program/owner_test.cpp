// Two real programs and one controller (the demo's, which both take as the same one):
// the owner lock keeps a second watch out, and a one-off command borrows the controller
// from a running watch. The outage is a network namespace of the child's own, so no
// other host is ever pinged.
#include "link/owner.h"
#include "platform/owner_lock.h"
#include "watch_child.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>

#include <gtest/gtest.h>

namespace {

using Child = vardex::test::WatchChild;
using vardex::test::kLineBoundMs;

QStringList watchArgs(const char *output, const char *pulseMs)
{
    return {"--demo", "watch",     "127.0.0.1", "--output", output, "--interval",
            "100",    "--timeout", "100",       "--pulse",  pulseMs};
}

} // namespace

TEST(ControllerOwner, ASecondWatchIsRefusedAndTheFirstPulseRunsItsFullLength)
{
    QTemporaryDir home;
    Child first;
    first.run(home.path(), watchArgs("relay1", "2000"), true);
    const bool pulsing = first.waitForLine("Реле_1 вкл. на 2000 мс");
    if (const QString why = first.cannotRun(); !why.isEmpty())
        GTEST_SKIP() << qPrintable(why);
    ASSERT_TRUE(pulsing) << first.out.toStdString();

    Child second;
    second.run(home.path(), watchArgs("relay2", "1000"));
    ASSERT_TRUE(second.finishes());
    EXPECT_EQ(second.process.exitCode(), 3);
    const QString said = second.err();
    EXPECT_TRUE(said.contains(
        QStringLiteral("контроллер занят: его держит vardex-cli watch (pid %1)").arg(first.pid())))
        << said.toStdString();
    EXPECT_TRUE(second.out.isEmpty()) << "the second watch never watched";

    ASSERT_TRUE(first.waitForLine("конец импульса — Реле_1 выкл.")) << first.out.toStdString();
    EXPECT_FALSE(first.out.contains("импульс прерван")) << first.out.toStdString();
    ASSERT_TRUE(first.endsBy(SIGTERM));
    EXPECT_EQ(first.process.exitCode(), 0);
}

TEST(ControllerOwner, AOneOffCommandDuringAWatchBorrowsTheControllerAndTheWatchLogsTheLoan)
{
    QTemporaryDir home;
    Child watch;
    watch.run(home.path(), watchArgs("relay1", "1000"));
    ASSERT_TRUE(watch.waitForLine("наблюдение за 127.0.0.1 включено")) << watch.out.toStdString();

    Child state;
    state.run(home.path(), {"--demo", "state"});
    ASSERT_TRUE(state.finishes());
    EXPECT_EQ(state.process.exitCode(), 0) << state.err().toStdString();
    EXPECT_TRUE(state.out.contains(QStringLiteral("Температура 1")));

    ASSERT_TRUE(watch.waitForLine(
        QStringLiteral("контроллер был отдан: vardex-cli state (pid %1)").arg(state.pid())))
        << watch.out.toStdString();
    ASSERT_TRUE(watch.waitForLine("снова у сторожа"));
    // Still watching after the loan: it answers for the controller at its stop.
    ASSERT_TRUE(watch.endsBy(SIGTERM));
    EXPECT_EQ(watch.process.exitCode(), 0) << watch.out.toStdString();
    EXPECT_TRUE(watch.out.contains("наблюдение остановлено по сигналу"));
}

TEST(ControllerOwner, ABorrowDuringAPulseWaitsForItsSwitchOffReadBack)
{
    QTemporaryDir home;
    Child watch;
    watch.run(home.path(), watchArgs("relay1", "1500"), true);
    const bool pulsing = watch.waitForLine("Реле_1 вкл. на 1500 мс");
    if (const QString why = watch.cannotRun(); !why.isEmpty())
        GTEST_SKIP() << qPrintable(why);
    ASSERT_TRUE(pulsing) << watch.out.toStdString();

    Child state;
    state.run(home.path(), {"--demo", "state"});
    ASSERT_TRUE(state.finishes());
    EXPECT_EQ(state.process.exitCode(), 0) << state.err().toStdString();
    ASSERT_TRUE(watch.waitForLine("контроллер был отдан: vardex-cli state"))
        << watch.out.toStdString();
    const qsizetype off = watch.out.indexOf("конец импульса — Реле_1 выкл.");
    const qsizetype readBack = watch.out.indexOf("Реле_1 выкл. отправлено и подтверждено");
    const qsizetype lent = watch.out.indexOf("контроллер был отдан");
    ASSERT_GE(off, 0) << watch.out.toStdString();
    ASSERT_GE(readBack, 0) << watch.out.toStdString();
    EXPECT_LT(off, lent);
    EXPECT_LT(readBack, lent);
    EXPECT_FALSE(watch.out.contains("импульс прерван"));
    ASSERT_TRUE(watch.endsBy(SIGTERM));
    EXPECT_EQ(watch.process.exitCode(), 0);
}

// The cabinet service owns the controller for months as the watch does, so a monitoring
// script's one-off command borrows it from the service too; the service reads nothing
// meanwhile and polls again once the controller is back.
TEST(ControllerOwner, TheCabinetServiceLendsTheControllerAndPollsAgainAfterTheLoan)
{
    QTemporaryDir home;
    const QString metrics = home.path() + QStringLiteral("/vardex.prom");
    Child serve;
    serve.run(home.path(), {"--demo", "serve", "--poll", "1", "--metrics-file", metrics});
    ASSERT_TRUE(serve.waitForLine("на связи")) << serve.out.toStdString();

    Child state;
    state.run(home.path(), {"--demo", "state"});
    ASSERT_TRUE(state.finishes());
    EXPECT_EQ(state.process.exitCode(), 0) << state.err().toStdString();
    EXPECT_TRUE(state.out.contains(QStringLiteral("Температура 1")));

    ASSERT_TRUE(serve.waitForLine(
        QStringLiteral("контроллер отдан на время: vardex-cli state (pid %1)").arg(state.pid())))
        << serve.out.toStdString();
    ASSERT_TRUE(serve.waitForLine("контроллер был отдан")) << serve.out.toStdString();
    // Back and read again: the next poll is answered and no second arrival is reported.
    QElapsedTimer bound;
    bound.start();
    QByteArray text;
    const qsizetype returned = serve.out.indexOf("контроллер был отдан");
    while (bound.elapsed() < kLineBoundMs) {
        QFile file(metrics);
        if (file.open(QIODevice::ReadOnly))
            text = file.readAll();
        if (text.contains("vardex_controller_up 1") && text.contains("vardex_controller_lent 0") &&
            bound.elapsed() > 1500)
            break;
        serve.process.waitForReadyRead(100);
        serve.read();
    }
    EXPECT_TRUE(text.contains("vardex_controller_up 1")) << text.toStdString();
    EXPECT_EQ(serve.out.count("на связи"), 1) << serve.out.toStdString();
    EXPECT_GT(returned, 0);
    ASSERT_TRUE(serve.endsBy(SIGTERM));
    EXPECT_EQ(serve.process.exitCode(), 0) << serve.out.toStdString();
}

// The engineer's window holds the controller (here: this test, with the window's record,
// which does not lend) when the watch's unit starts it: the watch says who holds it and
// waits, then takes over within a second of the release instead of exiting to be
// restarted over and over.
TEST(ControllerOwner, AWatchStartedWhileAWindowHoldsTheControllerWaitsForIt)
{
    QTemporaryDir home;
    ASSERT_TRUE(QDir().mkpath(home.path() + QStringLiteral("/locks")));
    vardex::platform::OwnerLocks window(home.path() + QStringLiteral("/locks"),
                                        {QStringLiteral("vardex"), 4242, {}, false});
    const QString key = vardex::link::ownerKeyForSimulated(QStringLiteral("sim:demo"));
    ASSERT_TRUE(window.claim(key).granted);

    Child watch;
    watch.run(home.path(), watchArgs("relay1", "1000"));
    QElapsedTimer bound;
    bound.start();
    QString said;
    while (!said.contains(QStringLiteral("наблюдение начнётся, когда его отпустят")) &&
           bound.elapsed() < kLineBoundMs) {
        watch.process.waitForReadyRead(100);
        said += watch.err();
    }
    EXPECT_TRUE(said.contains(QStringLiteral("его держит vardex (pid 4242)")))
        << said.toStdString();
    EXPECT_EQ(watch.process.state(), QProcess::Running) << "waits, does not exit";
    EXPECT_FALSE(watch.out.contains("наблюдение за")) << "nothing watched while held";

    window.release(key);
    ASSERT_TRUE(watch.waitForLine("наблюдение за 127.0.0.1 включено")) << watch.out.toStdString();
    ASSERT_TRUE(watch.endsBy(SIGTERM));
    EXPECT_EQ(watch.process.exitCode(), 0);
}

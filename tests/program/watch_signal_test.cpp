// The built `vardex-cli watch --demo` as a service manager runs it: a child process,
// stopped by a real SIGTERM or SIGINT. The outage is real too: the child pings
// 127.0.0.1 inside a network namespace of its own that ignores echo requests, so no
// other host is ever pinged.
#include "watch_child.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>

#include <gtest/gtest.h>

namespace {

using vardex::test::WatchChild;

bool appears(const QString &path)
{
    QElapsedTimer bound;
    bound.start();
    while (!QFile::exists(path) && bound.elapsed() < vardex::test::kLineBoundMs)
        QThread::msleep(20);
    return QFile::exists(path);
}

struct SignalCase {
    const char *name;
    int signal;
    bool outage;
    const char *before; // the line awaited before the signal
    const char *last;   // the last line after it
};

class WatchStoppedBySignal : public ::testing::TestWithParam<SignalCase> {};

} // namespace

TEST_P(WatchStoppedBySignal, ExitsZeroAndSaysWhatItLeaves)
{
    const SignalCase &c = GetParam();
    QTemporaryDir stateHome;
    const QString record =
        stateHome.path() + "/vardex/switch-off-24.3.11.2.17.0.4.2.1.9.-relay1.pending";
    WatchChild child;
    child.start(stateHome.path(), c.outage);
    const bool reached = child.waitForLine(QString::fromUtf8(c.before));
    if (const QString why = child.cannotRun(); !why.isEmpty()) {
        std::printf("skipped: %s\n", qPrintable(why));
        GTEST_SKIP() << qPrintable(why);
    }
    ASSERT_TRUE(reached) << child.out.toStdString();
    if (c.outage) {
        EXPECT_TRUE(appears(record)) << "the pulse under way is recorded for a next run";
    }

    ASSERT_TRUE(child.endsBy(c.signal));
    EXPECT_EQ(child.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.process.exitCode(), 0) << child.out.toStdString();
    EXPECT_TRUE(child.lastLine().contains(QString::fromUtf8(c.last))) << child.out.toStdString();
    if (c.outage) {
        EXPECT_TRUE(child.out.contains("импульс прерван — Реле_1 выкл."));
        EXPECT_TRUE(child.out.contains("Реле_1 выкл. отправлено и подтверждено"));
    } else {
        EXPECT_FALSE(child.out.contains("Реле_1 выкл.")) << "nothing was switched off";
    }
    EXPECT_FALSE(QFile::exists(record)) << "nothing is owed to a next run";
}

INSTANTIATE_TEST_SUITE_P(
    Signals, WatchStoppedBySignal,
    ::testing::Values(SignalCase{"TermDuringAPulse", SIGTERM, true, "Реле_1 вкл. на 10000 мс",
                                 "наблюдение остановлено по сигналу, Реле_1 выключено"},
                      SignalCase{"IntDuringAPulse", SIGINT, true, "Реле_1 вкл. на 10000 мс",
                                 "наблюдение остановлено по сигналу, Реле_1 выключено"},
                      SignalCase{"TermWithNothingHeld", SIGTERM, false, "127.0.0.1 отвечает",
                                 "наблюдение остановлено по сигналу, Реле_1 не было включено"}),
    [](const auto &info) { return std::string(info.param.name); });

// A watch killed outright mid-pulse (SIGKILL, a power cut of the computer) cannot switch
// anything off; the record it left makes the next run do it first.
TEST(WatchKilledMidPulse, TheNextRunSwitchesTheOutputOffFirst)
{
    QTemporaryDir stateHome;
    const QString record =
        stateHome.path() + "/vardex/switch-off-24.3.11.2.17.0.4.2.1.9.-relay1.pending";
    {
        WatchChild killed;
        killed.start(stateHome.path(), true);
        const bool reached = killed.waitForLine("Реле_1 вкл. на 10000 мс");
        if (const QString why = killed.cannotRun(); !why.isEmpty()) {
            std::printf("skipped: %s\n", qPrintable(why));
            GTEST_SKIP() << qPrintable(why);
        }
        ASSERT_TRUE(reached) << killed.out.toStdString();
        ASSERT_TRUE(appears(record));
        ASSERT_TRUE(killed.endsBy(SIGKILL));
    }
    ASSERT_TRUE(QFile::exists(record));

    WatchChild next;
    next.start(stateHome.path(), false);
    ASSERT_TRUE(next.waitForLine("наблюдение за 127.0.0.1 включено")) << next.out.toStdString();
    ASSERT_TRUE(next.endsBy(SIGTERM));
    const QStringList lines = next.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 2);
    // Before the watch starts, the switch-off it was owed went out and was read back.
    EXPECT_TRUE(lines[0].contains("отложенное выключение (импульс с "));
    EXPECT_TRUE(lines[0].contains("Реле_1 выкл. отправлено и подтверждено чтением выходов"))
        << next.out.toStdString();
    EXPECT_TRUE(lines[1].contains("наблюдение за 127.0.0.1 включено"));
    EXPECT_EQ(next.process.exitCode(), 0);
    EXPECT_FALSE(QFile::exists(record));
}

// A log reader that goes away (`vardex-cli watch … | head`, a closed journal pipe) must not
// take the watch with it mid-pulse: its output would stay on.
TEST(WatchWithoutItsReader, StillSwitchesTheOutputOffAtTheSignal)
{
    QTemporaryDir stateHome;
    const QString record =
        stateHome.path() + "/vardex/switch-off-24.3.11.2.17.0.4.2.1.9.-relay1.pending";
    WatchChild child;
    child.start(stateHome.path(), true);
    const bool reached = child.waitForLine("Реле_1 вкл. на 10000 мс");
    if (const QString why = child.cannotRun(); !why.isEmpty()) {
        std::printf("skipped: %s\n", qPrintable(why));
        GTEST_SKIP() << qPrintable(why);
    }
    ASSERT_TRUE(reached) << child.out.toStdString();
    ASSERT_TRUE(appears(record));
    child.process.closeReadChannel(QProcess::StandardOutput);
    ASSERT_TRUE(child.endsBy(SIGTERM));
    EXPECT_EQ(child.process.exitStatus(), QProcess::NormalExit) << "killed by SIGPIPE";
    EXPECT_EQ(child.process.exitCode(), 0);
    EXPECT_FALSE(QFile::exists(record)) << "the switch-off was not read back";
}

// The built watch with two hosts in a network namespace of its own: 192.0.2.1 is routed
// into the namespace's loopback and never answers (a gateway that drops echoes), while
// 127.0.0.1 answers until a helper inside the namespace makes it stop. Nothing outside
// the computer is pinged.
#include "watch_child.h"

#include <QFile>
#include <QTemporaryDir>

#include <ctime>
#include <fcntl.h>
#include <string>

#include <gtest/gtest.h>

namespace {

using vardex::test::WatchChild;

// Read by the child after fork: set before the start, never freed meanwhile.
std::string g_silenceTrigger;

// In the child, before the program starts: the namespace, the silent route, and a helper
// that silences 127.0.0.1 once the trigger file exists (or gives up when the program
// is gone).
void silentGatewayNetwork()
{
    using namespace vardex::test;
    if (enterNetworkNamespace())
        ::_exit(kNoNamespace);
    allowPingSockets();
    if (!setLoopbackUp() || !routeTestNetIntoLoopback())
        ::_exit(kNoNamespace);
    const char *trigger = g_silenceTrigger.c_str();
    if (::fork() != 0)
        return;
    for (int fd = 0; fd < 1024; ++fd)
        ::close(fd); // holds none of the program's pipes open
    const pid_t program = ::getppid();
    for (int i = 0; i < 6000 && ::getppid() == program; ++i) {
        if (::access(trigger, F_OK) == 0) {
            ignoreEchoRequests();
            break;
        }
        const timespec pause{0, 20'000'000};
        ::nanosleep(&pause, nullptr);
    }
    ::_exit(0);
}

bool waitForCount(WatchChild &child, const QString &text, int count)
{
    while (child.out.count(text) < count) {
        if (!child.waitForLine(text))
            return false;
        if (child.out.count(text) >= count)
            break;
        // The text is there fewer times than wanted: wait for more lines.
        if (!child.process.waitForReadyRead(vardex::test::kLineBoundMs))
            return false;
        child.read();
    }
    return true;
}

} // namespace

TEST(WatchTwoHosts, AGatewayThatDropsEchoesAloneNeverPulsesAndTheCapStandsTheWatchDown)
{
    QTemporaryDir dir;
    g_silenceTrigger = (dir.path() + QStringLiteral("/silence")).toStdString();
    WatchChild child;
    child.start(dir.path(),
                {"--demo", "watch", "192.0.2.1", "127.0.0.1", "--output", "relay1", "--interval",
                 "100", "--timeout", "100", "--pulse", "100", "--max-pulses", "1", "--per", "60"},
                silentGatewayNetwork);
    const bool reached =
        child.waitForLine("молчит 192.0.2.1, отвечает 127.0.0.1 — не все узлы молчат");
    if (const QString why = child.cannotRun(); !why.isEmpty()) {
        std::printf("skipped: %s\n", qPrintable(why));
        GTEST_SKIP() << qPrintable(why);
    }
    ASSERT_TRUE(reached) << child.out.toStdString();
    EXPECT_FALSE(child.out.contains("Реле_1 вкл.")) << child.out.toStdString();

    // Now both are silent: one pulse, then the cap.
    {
        QFile trigger(QString::fromStdString(g_silenceTrigger));
        ASSERT_TRUE(trigger.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(child.waitForLine("192.0.2.1, 127.0.0.1 не ответили — все узлы молчат, пропуск "
                                  "1 из 1 подряд: Реле_1 вкл. на 100 мс"))
        << child.out.toStdString();
    ASSERT_TRUE(child.waitForLine("остановлен: 1 импульс за 60 мин")) << child.out.toStdString();
    EXPECT_EQ(child.out.count("Реле_1 вкл."), 1);

    // SIGUSR1: re-armed by hand, one pulse more, then the cap again.
    child.signal(SIGUSR1);
    ASSERT_TRUE(child.waitForLine("включён снова вручную")) << child.out.toStdString();
    ASSERT_TRUE(waitForCount(child, "остановлен: 1 импульс за 60 мин", 2))
        << child.out.toStdString();
    EXPECT_EQ(child.out.count("Реле_1 вкл."), 2);

    ASSERT_TRUE(child.endsBy(SIGTERM));
    EXPECT_EQ(child.process.exitCode(), 0) << child.out.toStdString();
    EXPECT_TRUE(child.out.contains("Реле_1 выкл. отправлено и подтверждено"));
}

// Two units' worth of watching in one process: the silent gateway's pair pulses its
// relay, the answering host's pair never touches its own, and the stop switches off
// only what this process switched on.
TEST(WatchTwoPairs, OneProcessWatchesTwoHostsOnTwoOutputsOfOneController)
{
    QTemporaryDir dir;
    g_silenceTrigger = (dir.path() + QStringLiteral("/never")).toStdString();
    WatchChild child;
    child.start(dir.path(), {"--demo",     "watch",        "192.0.2.1", "--output",  "relay1",
                             "--interval", "100",          "--timeout", "100",       "--pulse",
                             "100",        "--max-pulses", "1",         "127.0.0.1", "--output",
                             "relay2",     "--interval",   "100",       "--timeout", "100"},
                silentGatewayNetwork);
    const bool reached = child.waitForLine("остановлен: 1 импульс за 60 мин");
    if (const QString why = child.cannotRun(); !why.isEmpty()) {
        std::printf("skipped: %s\n", qPrintable(why));
        GTEST_SKIP() << qPrintable(why);
    }
    ASSERT_TRUE(reached) << child.out.toStdString();
    EXPECT_EQ(child.out.count("Реле_1 вкл."), 1) << child.out.toStdString();
    EXPECT_TRUE(child.out.contains("relay2: 127.0.0.1 отвечает")) << child.out.toStdString();
    EXPECT_FALSE(child.out.contains("Реле_2 вкл.")) << child.out.toStdString();
    ASSERT_TRUE(child.endsBy(SIGTERM));
    EXPECT_EQ(child.process.exitCode(), 0) << child.out.toStdString();
    EXPECT_TRUE(child.out.contains("relay2: наблюдение остановлено по сигналу, Реле_2 не было "
                                   "включено"))
        << child.out.toStdString();
}

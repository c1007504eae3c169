#include "doctor/async_probe.h"
#include "doctor/guidance.h"
#include "doctor_states.h"
#include "support/test_support.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>

using namespace vardex;
using namespace vardex::doctor;

TEST(ConnectionGuidance, WithoutAControllerItSaysWhatItWaitsFor)
{
    const Guidance g = connectionGuidance(false);
    EXPECT_TRUE(g.shown);
    EXPECT_EQ(g.title, "Подключите контроллер Quellbox по USB");
    EXPECT_TRUE(g.detail.contains("«Диагностика подключения»")) << g.detail.toStdString();
    EXPECT_FALSE(connectionGuidance(true).shown);
    EXPECT_FALSE(connectionGuidance(true, diagnose(test::lockedWithoutRule())).shown)
        << "a connection ends any earlier failure";
}

TEST(ConnectionGuidance, AFailedOpenSaysWhyAndWhatToDo)
{
    const Guidance g = connectionGuidance(false, diagnose(test::lockedWithoutRule()),
                                          QStringLiteral("Permission denied"));
    EXPECT_TRUE(g.shown);
    EXPECT_EQ(g.title, "Контроллер найден, но открыть его не удалось");
    EXPECT_TRUE(g.detail.startsWith("Нет доступа к контроллеру: правило udev не установлено"))
        << g.detail.toStdString();
    EXPECT_TRUE(g.detail.contains("\n  sudo cp udev/70-quellbox.rules /etc/udev/rules.d/"))
        << "the commands on lines of their own";
    // Where the doctor finds nothing wrong (udev was faster than the probe), the
    // system's own words still say why.
    const Guidance race = connectionGuidance(false, diagnose(test::healthyMachine()),
                                             QStringLiteral("Device or resource busy"));
    EXPECT_EQ(race.detail, "Нет доступа к контроллеру: Device or resource busy.");
}

TEST(ConnectionGuidance, LinkFactsReachTheDiagnosisWithoutTheWorkerTouchingTheLink)
{
    const SystemProbe probe = withLinkFacts([] { return test::healthyMachine(); },
                                            {true, QStringLiteral("sim:demo"), true, {}});
    const SystemState s = probe();
    EXPECT_EQ(s.nodes.size(), 2);
    EXPECT_TRUE(s.link.simulated);
    EXPECT_EQ(diagnose(s).verdict, Verdict::Simulated);
    EXPECT_FALSE(withLinkFacts({}, {})().hidapiAvailable) << "no probe: an empty machine";
}

TEST(AsyncProbe, RunsOffTheCallersThreadAndAnswersOnIt)
{
    AsyncProbe async;
    std::atomic<Qt::HANDLE> probedOn{nullptr};
    async.setProbe([&] {
        probedOn = QThread::currentThreadId();
        return test::healthyMachine();
    });
    QList<SystemState> results;
    Qt::HANDLE answeredOn = nullptr;
    QObject::connect(&async, &AsyncProbe::finished, [&](const SystemState &s) {
        answeredOn = QThread::currentThreadId();
        results << s;
    });
    async.start();
    EXPECT_TRUE(async.isRunning());
    // A second start while running asks for one more run afterwards, not two at once.
    async.start();
    async.start();
    ASSERT_TRUE(test::waitUntil([&] { return results.size() == 2 && !async.isRunning(); }, 10000));
    EXPECT_NE(probedOn.load(), QThread::currentThreadId());
    EXPECT_EQ(answeredOn, QThread::currentThreadId());
    EXPECT_EQ(results[0].userName, "engineer");
    QCoreApplication::processEvents();
    EXPECT_EQ(results.size(), 2);
}

// The window and a real watch (the built vardex-cli, a child process) on one controller:
// both take the demo's controller as the same one, so the owner lock is contended as with
// a real board. The card names the watch, takes the controller over and gives it back.
#include "doctor/widgets/connect_card.h"
#include "doctor/widgets/connection_guide.h"
#include "kit/widgets/status_bar.h"
#include "link/data_module.h"
#include "platform/owner_lock.h"
#include "sim/demo_controller.h"
#include "sim/scenarios.h"
#include "support/recording_prompts.h"
#include "support/test_support.h"
#include "ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>

#include <unistd.h>

#include <gtest/gtest.h>

using namespace vardex;

namespace {

constexpr int kBoundMs = 20000;

struct WatchProcess {
    QProcess process;
    QString out;
    ~WatchProcess()
    {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            if (!process.waitForFinished(10000))
                process.kill();
        }
    }
    bool saw(const QString &text)
    {
        return test::waitUntil(
                   [&] {
                       out += QString::fromUtf8(process.readAllStandardOutput());
                       return out.contains(text) || process.state() == QProcess::NotRunning;
                   },
                   kBoundMs) &&
               out.contains(text);
    }
};

} // namespace

TEST(OwnerCard, NamesTheWatchTakesTheControllerOverAndGivesItBack)
{
    QTemporaryDir home;
    const QString locks = home.path() + "/locks";
    WatchProcess watch;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VARDEX_LOCK_DIR", locks);
    env.insert("XDG_STATE_HOME", home.path() + "/state");
    env.remove("STATE_DIRECTORY");
    watch.process.setProcessEnvironment(env);
    watch.process.start(
        QStringLiteral(VARDEX_PROGRAMS_DIR "/vardex-cli"),
        {"--demo", "watch", "127.0.0.1", "--output", "relay1", "--interval", "500"});
    ASSERT_TRUE(watch.saw("наблюдение за 127.0.0.1 включено")) << watch.out.toStdString();

    qputenv("VARDEX_LOCK_DIR", QFile::encodeName(locks));
    sim::SimTransport transport;
    transport.setOwnerGate(platform::makeOwnerLocks(QStringLiteral("vardex-demo"), false));
    qunsetenv("VARDEX_LOCK_DIR");
    sim::SimDeviceOptions options;
    options.id = sim::kDemoDeviceId; // the same controller as the watch's
    options.latencyMs = 0;
    options.firmware = sim::fullControllerFirmware24();
    const QString id = transport.addDevice(std::move(options));
    link::DataModule dm(transport);
    test::RecordingPrompts prompts;
    ui::MainWindow window(dm, &prompts);
    window.setSystemProbe([] { return doctor::SystemState{}; });
    window.show();
    transport.plug(id);
    transport.start();

    doctor::ConnectionGuide &guide = window.connectionGuide();
    doctor::ConnectCard &card = window.connectCard();
    ASSERT_TRUE(test::waitUntil([&] { return card.borrowButton()->isVisible(); }, kBoundMs));
    EXPECT_FALSE(dm.isConnected()) << "the watch holds it";
    EXPECT_TRUE(transport.receivedRequests(id).empty()) << "nothing was sent to it";
    EXPECT_EQ(card.title(), "Контроллер занят другой программой");
    const QString holder =
        QStringLiteral("vardex-cli watch (pid %1)").arg(watch.process.processId());
    EXPECT_TRUE(card.detail().contains(holder)) << card.detail().toStdString();
    EXPECT_EQ(card.borrowButton()->text(), "Взять у сторожа");
    auto *giveBack = window.findChild<QAction *>(QStringLiteral("GiveBackAction"));
    ASSERT_NE(giveBack, nullptr);
    EXPECT_FALSE(giveBack->isEnabled());

    card.borrowButton()->click();
    ASSERT_TRUE(test::waitUntil([&] { return guide.onLoan(); }, kBoundMs))
        << window.statusBar().panelText(5).toStdString();
    EXPECT_TRUE(dm.isConnected());
    EXPECT_FALSE(card.isVisible());
    EXPECT_TRUE(giveBack->isEnabled());
    EXPECT_TRUE(window.statusBar().panelText(5).contains("Контроллер взят у сторожа " + holder));

    giveBack->trigger();
    EXPECT_FALSE(dm.isConnected());
    EXPECT_FALSE(giveBack->isEnabled());
    ASSERT_TRUE(
        watch.saw(QStringLiteral("контроллер был отдан: vardex-demo (pid %1)").arg(::getpid())))
        << watch.out.toStdString();
    ASSERT_TRUE(watch.saw("снова у сторожа"));
    // The watch has it again; the card offers to ask once more.
    EXPECT_TRUE(card.isVisible());
    EXPECT_TRUE(card.borrowButton()->isVisible());
    EXPECT_TRUE(card.detail().contains(holder));
    test::waitUntil([] { return false; }, 1500); // the card's holder check comes round
    EXPECT_FALSE(dm.isConnected()) << "the window does not take it back by itself";
}

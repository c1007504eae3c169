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

// A watch child holding the demo's controller, and the window on a simulated controller
// of the same name (so the same owner lock), its transport under a real owner gate.
struct HandOver {
    HandOver()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("VARDEX_LOCK_DIR", locks);
        env.insert("XDG_STATE_HOME", home.path() + "/state");
        env.remove("STATE_DIRECTORY");
        watch.process.setProcessEnvironment(env);
        watch.process.start(
            QStringLiteral(VARDEX_PROGRAMS_DIR "/vardex-cli"),
            {"--demo", "watch", "127.0.0.1", "--output", "relay1", "--interval", "500"});
        watching = watch.saw("наблюдение за 127.0.0.1 включено");

        qputenv("VARDEX_LOCK_DIR", QFile::encodeName(locks));
        transport->setOwnerGate(platform::makeOwnerLocks(QStringLiteral("vardex-demo"), false));
        qunsetenv("VARDEX_LOCK_DIR");
        sim::SimDeviceOptions options;
        options.id = sim::kDemoDeviceId; // the same controller as the watch's
        options.latencyMs = 0;
        options.firmware = sim::fullControllerFirmware24();
        id = transport->addDevice(std::move(options));
        window->setSystemProbe([] { return doctor::SystemState{}; });
        window->show();
        transport->plug(id);
        transport->start();
    }
    doctor::ConnectCard &card() { return window->connectCard(); }
    doctor::ConnectionGuide &guide() { return window->connectionGuide(); }
    bool offered()
    {
        return test::waitUntil([&] { return card().borrowButton()->isVisible(); }, kBoundMs);
    }

    QTemporaryDir home;
    const QString locks = home.path() + "/locks";
    WatchProcess watch;
    bool watching = false;
    std::unique_ptr<sim::SimTransport> transport = std::make_unique<sim::SimTransport>();
    QString id;
    std::unique_ptr<link::DataModule> dm = std::make_unique<link::DataModule>(*transport);
    test::RecordingPrompts prompts;
    std::unique_ptr<ui::MainWindow> window = std::make_unique<ui::MainWindow>(*dm, &prompts);
};

} // namespace

TEST(OwnerCard, NamesTheWatchTakesTheControllerOverAndGivesItBack)
{
    HandOver h;
    ASSERT_TRUE(h.watching) << h.watch.out.toStdString();
    ui::MainWindow &window = *h.window;
    link::DataModule &dm = *h.dm;
    WatchProcess &watch = h.watch;
    doctor::ConnectionGuide &guide = h.guide();
    doctor::ConnectCard &card = h.card();
    ASSERT_TRUE(h.offered());
    EXPECT_FALSE(dm.isConnected()) << "the watch holds it";
    EXPECT_TRUE(h.transport->receivedRequests(h.id).empty()) << "nothing was sent to it";
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

namespace {

// Other ways the window lets a borrowed controller go than "Вернуть сторожу" (above):
// each gives it back to the watch.
enum class LetGo { Unplug, Replacement, WindowClosed };

struct LetGoCase {
    const char *name;
    LetGo how;
};

class OwnerCardReturn : public ::testing::TestWithParam<LetGoCase> {};

} // namespace

TEST_P(OwnerCardReturn, EveryWayTheWindowLetsGoReturnsTheControllerToTheWatch)
{
    HandOver h;
    ASSERT_TRUE(h.watching) << h.watch.out.toStdString();
    ASSERT_TRUE(h.offered());
    h.card().borrowButton()->click();
    ASSERT_TRUE(test::waitUntil([&] { return h.guide().onLoan(); }, kBoundMs));
    std::unique_ptr<ui::MainWindow> &window = h.window;
    std::unique_ptr<link::DataModule> &dm = h.dm;
    std::unique_ptr<sim::SimTransport> &transport = h.transport;
    const QString id = h.id;
    WatchProcess &watch = h.watch;

    switch (GetParam().how) {
    case LetGo::Unplug:
        transport->unplug(id);
        break;
    case LetGo::Replacement: {
        // Another Quellbox plugged into this computer takes the window's link; the one on
        // loan goes back to its watch.
        sim::SimDeviceOptions other;
        other.latencyMs = 0;
        other.firmware = sim::fullControllerFirmware24();
        transport->plug(transport->addDevice(std::move(other)));
        ASSERT_TRUE(test::waitUntil(
            [&] { return dm->isConnected() && dm->currentDevice().id != id; }, kBoundMs));
        break;
    }
    case LetGo::WindowClosed:
        window.reset();
        dm.reset();
        transport.reset();
        break;
    }
    if (window) {
        EXPECT_FALSE(window->connectionGuide().onLoan());
    }
    ASSERT_TRUE(
        watch.saw(QStringLiteral("контроллер был отдан: vardex-demo (pid %1)").arg(::getpid())))
        << watch.out.toStdString();
    ASSERT_TRUE(watch.saw("снова у сторожа")) << watch.out.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Ways, OwnerCardReturn,
                         ::testing::Values(LetGoCase{"Unplug", LetGo::Unplug},
                                           LetGoCase{"Replacement", LetGo::Replacement},
                                           LetGoCase{"WindowClosed", LetGo::WindowClosed}),
                         [](const auto &info) { return std::string(info.param.name); });

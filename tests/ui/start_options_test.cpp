// The window programs' start-up options applied to the window: --service shows the
// service pages, and with it --watch HOST brings the watchdog page up watching HOST.
// The watchdog's echo is scripted: nothing is pinged.
#include "link/data_module.h"
#include "service/widgets/watchdog_page.h"
#include "support/no_devices.h"
#include "support/recording_prompts.h"
#include "support/scripted_echo.h"
#include "ui/main_window.h"
#include "ui/start_options.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTabWidget>
#include <QTimer>

#include <gtest/gtest.h>

using namespace vardex;
using program::Program;

namespace {

struct StartRig {
    test::NoDevices transport;
    link::DataModule dm{transport};
    test::RecordingPrompts prompts;
    ui::MainWindow window{dm, &prompts};
    test::ScriptedEcho *echo = nullptr;

    StartRig()
    {
        auto e = std::make_unique<test::ScriptedEcho>();
        echo = e.get();
        window.watchDogPage()->setEcho(std::move(e));
    }
    template <class W> W *child(const char *name)
    {
        return window.findChild<W *>(QLatin1String(name));
    }
    bool tabShown(const char *name)
    {
        QTabWidget &pages = window.pageControl();
        return pages.isTabVisible(pages.indexOf(window.page(QLatin1String(name))));
    }
};

struct StartCase {
    const char *name;
    Program program;
    const char *args;
    bool servicePages;
    const char *watching; // the host watched from the start, "" for none
};

class WindowStartOptions : public ::testing::TestWithParam<StartCase> {};

} // namespace

TEST_P(WindowStartOptions, ShowOnlyWhatTheCommandLineAsks)
{
    const StartCase &c = GetParam();
    StartRig r;
    auto *host = r.child<QLineEdit>("HostEdit");
    auto *start = r.child<QCheckBox>("cbPingWatchDogStart");
    ASSERT_TRUE(host && start);
    const QString hostBefore = host->text();

    const program::WindowOptions options = program::parseWindowOptions(
        c.program, QString::fromUtf8(c.args).split(QLatin1Char(' '), Qt::SkipEmptyParts));
    ASSERT_TRUE(options.error.isEmpty()) << options.error.toStdString();
    ui::applyStartOptions(r.window, options);

    EXPECT_EQ(r.tabShown("WatchDogTabSheet"), c.servicePages);
    EXPECT_TRUE(r.tabShown("WorkTabSheet"));
    const QString watching = QString::fromUtf8(c.watching);
    EXPECT_EQ(start->isChecked(), !watching.isEmpty());
    EXPECT_EQ(r.window.timer("PingTimer")->isActive(), !watching.isEmpty());
    EXPECT_EQ(r.window.pageControl().currentWidget()->objectName(),
              watching.isEmpty() ? QStringLiteral("WorkTabSheet")
                                 : QStringLiteral("WatchDogTabSheet"));
    EXPECT_EQ(host->text(), watching.isEmpty() ? hostBefore : watching);
    if (!watching.isEmpty()) {
        EXPECT_EQ(r.child<QComboBox>("PingOutputComboBox")->currentIndex(), 9) << "relay 2";
    }
    // The first ping waits for the timer: none went out at start.
    EXPECT_TRUE(r.echo->requests.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, WindowStartOptions,
    ::testing::Values(
        StartCase{"Plain", Program::Window, "", false, ""},
        StartCase{"Service", Program::Window, "--service", true, ""},
        StartCase{"ServiceWatch", Program::Window,
                  "--service --watch 127.0.0.1 --watch-output relay2", true, "127.0.0.1"},
        StartCase{"WatchAfterService", Program::Window,
                  "--watch-output=relay2 --watch=127.0.0.2 --service", true, "127.0.0.2"},
        StartCase{"DemoServiceWatch", Program::Demo,
                  "--service --watch 127.0.0.1 --watch-output relay2", true, "127.0.0.1"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(WindowStartOptions, TheWatchStartedAtStartUpPingsTheHostItWasGiven)
{
    StartRig r;
    ui::applyStartOptions(
        r.window, program::parseWindowOptions(Program::Window, {"--service", "--watch", "127.0.0.1",
                                                                "--watch-output", "h1"}));
    // One tick of the page's timer, as its interval would bring it.
    ASSERT_TRUE(QMetaObject::invokeMethod(r.window.timer("PingTimer"), "timeout"));
    ASSERT_EQ(r.echo->requests.size(), 1u);
    EXPECT_EQ(r.echo->requests[0].host, QStringLiteral("127.0.0.1"));
}

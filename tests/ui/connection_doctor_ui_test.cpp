#include "kit/widgets/status_bar.h"
#include "link/data_module.h"
#include "support/no_devices.h"
#include "support/recording_prompts.h"
#include "ui/access_watch.h"
#include "ui/doctor_window.h"
#include "ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QLabel>

#include <gtest/gtest.h>

#include <cerrno>

using namespace vardex;
using namespace vardex::link::doctor;

namespace {

SystemState lockedWithoutRule()
{
    SystemState s;
    s.hidapiAvailable = s.udevAvailable = s.monitorWorks = true;
    s.userName = QStringLiteral("engineer");
    HidNode n;
    n.path = QStringLiteral("/dev/hidraw2");
    n.product = QStringLiteral("Quellbox");
    n.mode = 0600;
    n.owner = n.group = QStringLiteral("root");
    n.openErrno = EACCES;
    s.nodes = {n};
    return s;
}

} // namespace

TEST(AccessWatch, StatusBarEveryTimeMessageOnlyTheFirstTime)
{
    test::NoDevices transport;
    link::DataModule dm(transport);
    test::RecordingPrompts prompts;
    ui::StatusBar bar;
    ui::AccessWatch watch(dm, prompts, bar);
    watch.setProbe(lockedWithoutRule);

    emit dm.openFailed(link::HidDeviceInfo{}, QStringLiteral("Permission denied"));
    EXPECT_TRUE(
        bar.panelText(5).startsWith("Нет доступа к контроллеру: правило udev не установлено"))
        << bar.panelText(5).toStdString();
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].contains("/etc/udev/rules.d"));
    EXPECT_TRUE(prompts.messages[0].contains("udevadm control --reload-rules"));

    bar.setPanelText(5, {});
    emit dm.openFailed(link::HidDeviceInfo{}, QStringLiteral("Permission denied"));
    EXPECT_FALSE(bar.panelText(5).isEmpty());
    EXPECT_EQ(prompts.messages.size(), 1);
}

TEST(AccessWatch, WithoutAReasonTheSystemsWordsAreShown)
{
    test::NoDevices transport;
    link::DataModule dm(transport);
    test::RecordingPrompts prompts;
    ui::StatusBar bar;
    ui::AccessWatch watch(dm, prompts, bar); // no probe
    watch.onOpenFailed(QStringLiteral("Device or resource busy"));
    EXPECT_EQ(bar.panelText(5), "Нет доступа к контроллеру: Device or resource busy");
}

TEST(DoctorWindow, ListsEachCheckWithOkOrWhatToDo)
{
    ui::DoctorWindow window(lockedWithoutRule);
    const Diagnosis &d = window.diagnosis();
    const QString html = ui::DoctorWindow::checksHtml(d);
    EXPECT_EQ(html.count("<tr>"), d.checks.size());
    EXPECT_EQ(html.count(">нет<"), 2); // the node and the rule
    EXPECT_EQ(html.count("→"), 1) << "the node points at the reason, the rule says what to do";
    EXPECT_TRUE(html.contains("<code>sudo cp udev/70-quellbox.rules /etc/udev/rules.d/</code>"));
    auto *summary = window.findChild<QLabel *>(QStringLiteral("DoctorSummary"));
    ASSERT_TRUE(summary);
    EXPECT_TRUE(summary->text().contains("правило udev не установлено"));
}

TEST(DoctorWindow, MenuItemOpensItAndTraceIsCtrlT)
{
    test::NoDevices transport;
    link::DataModule dm(transport);
    test::RecordingPrompts prompts;
    ui::MainWindow window(dm, &prompts);
    window.setSystemProbe(lockedWithoutRule);
    auto *doctor = window.findChild<QAction *>(QStringLiteral("DoctorAction"));
    ASSERT_TRUE(doctor);
    EXPECT_EQ(doctor->text(), "Диагностика подключения");
    doctor->trigger();
    auto *shown = window.findChild<ui::DoctorWindow *>();
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->diagnosis().verdict, Verdict::NoRule);
    auto *trace = window.findChild<QAction *>(QStringLiteral("TraceAction"));
    ASSERT_TRUE(trace);
    EXPECT_EQ(trace->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_T));
    EXPECT_FALSE(trace->isChecked()) << "the trace is closed at start-up";
}

#include "../doctor_states.h"
#include "doctor/widgets/connect_card.h"
#include "doctor/widgets/connection_guide.h"
#include "doctor/widgets/doctor_window.h"
#include "kit/widgets/status_bar.h"
#include "link/data_module.h"
#include "support/no_devices.h"
#include "support/recording_prompts.h"
#include "support/sim_controller.h"
#include "ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace vardex;
using namespace vardex::doctor;

namespace {

// The window without a controller, with the doctor's probe answering a crafted machine.
struct EmptyWindow {
    explicit EmptyWindow(SystemProbe probe = test::lockedWithoutRule)
    {
        window.setSystemProbe(std::move(probe));
        window.show();
        QApplication::processEvents();
    }
    DoctorWindow *openDoctor()
    {
        window.connectCard().doctorButton()->click();
        auto *doctor = window.findChild<DoctorWindow *>();
        if (doctor)
            test::waitUntil([doctor] { return !doctor->isProbing(); }, 10000);
        return doctor;
    }
    test::NoDevices transport;
    link::DataModule dm{transport};
    test::RecordingPrompts prompts;
    ui::MainWindow window{dm, &prompts};
};

} // namespace

TEST(FirstStart, WithoutAControllerTheWorkPageSaysWhatItWaitsFor)
{
    EmptyWindow w;
    ConnectCard &card = w.window.connectCard();
    EXPECT_TRUE(card.isVisible());
    EXPECT_EQ(card.title(), "Подключите контроллер Quellbox по USB");
    EXPECT_EQ(card.doctorButton()->text(), "Диагностика подключения");
    EXPECT_EQ(card.parentWidget(), w.window.page(QStringLiteral("WorkTabSheet")));
    // Over the middle of the page, inside it.
    const QRect page = card.parentWidget()->rect();
    EXPECT_TRUE(page.contains(card.geometry())) << "card outside the page";
    EXPECT_LE(std::abs(card.geometry().center().x() - page.center().x()), 1);
    // Nothing was pointed at yet: the hint line is empty.
    EXPECT_TRUE(w.window.statusBar().panelText(5).isEmpty())
        << w.window.statusBar().panelText(5).toStdString();
    // The button opens the doctor, which says why (here: no rule).
    DoctorWindow *doctor = w.openDoctor();
    ASSERT_NE(doctor, nullptr);
    EXPECT_EQ(doctor->diagnosis().verdict, Verdict::NoRule);
    EXPECT_TRUE(w.prompts.messages.isEmpty());
}

TEST(FirstStart, AFailedOpenSaysWhyInTheSamePlaceAndTheHintLine)
{
    EmptyWindow w;
    ConnectionGuide &guide = w.window.connectionGuide();
    emit w.dm.openFailed(link::HidDeviceInfo{}, QStringLiteral("Permission denied"));
    // The system's words at once, the doctor's reason when the probe has answered.
    EXPECT_EQ(w.window.statusBar().panelText(5), "Нет доступа к контроллеру: Permission denied");
    ASSERT_TRUE(test::waitUntil([&] { return !guide.isProbing(); }, 10000));
    QApplication::processEvents();
    const ConnectCard &card = w.window.connectCard();
    EXPECT_TRUE(card.isVisible());
    EXPECT_EQ(card.title(), "Контроллер найден, но открыть его не удалось");
    EXPECT_TRUE(card.detail().contains("правило udev не установлено"));
    EXPECT_TRUE(card.detail().contains("sudo cp udev/70-quellbox.rules /etc/udev/rules.d/"));
    EXPECT_TRUE(
        w.window.statusBar().panelText(5).startsWith("Нет доступа к контроллеру: правило udev"))
        << w.window.statusBar().panelText(5).toStdString();
    EXPECT_TRUE(w.prompts.messages.isEmpty()) << "the page says it; no box to click away";
}

TEST(FirstStart, AConnectionHidesTheCardAndTheDemoDoctorKnowsItsController)
{
    test::SimController sim;
    test::RecordingPrompts prompts;
    ui::MainWindow window(sim.dm, &prompts);
    window.setSystemProbe([] { return SystemState{}; }); // no HID device on this machine
    window.setLinkSimulated(true);
    window.show();
    EXPECT_TRUE(window.connectCard().isVisible());
    ASSERT_TRUE(sim.plug());
    EXPECT_FALSE(window.connectCard().isVisible());
    EXPECT_EQ(window.statusBar().panelText(0), "Подключен");

    window.findChild<QAction *>(QStringLiteral("DoctorAction"))->trigger();
    auto *doctor = window.findChild<DoctorWindow *>();
    ASSERT_NE(doctor, nullptr);
    ASSERT_TRUE(test::waitUntil([doctor] { return !doctor->isProbing(); }, 10000));
    EXPECT_EQ(doctor->diagnosis().verdict, Verdict::Simulated);
    auto *summary = doctor->findChild<QLabel *>(QStringLiteral("DoctorSummary"));
    EXPECT_FALSE(summary->text().contains("не подключён")) << summary->text().toStdString();

    // Unplugged, the card comes back with its plain advice.
    sim.transport.unplug(sim.id);
    ASSERT_TRUE(test::waitUntil([&] { return !sim.dm.hasDevice(); }));
    EXPECT_TRUE(window.connectCard().isVisible());
    EXPECT_EQ(window.connectCard().title(), kPlugInTitle);
}

TEST(DoctorWindow, ListsEachCheckWithOkOrWhatToDo)
{
    DoctorWindow window(test::lockedWithoutRule);
    ASSERT_TRUE(test::waitUntil([&] { return !window.isProbing(); }, 10000));
    const Diagnosis &d = window.diagnosis();
    const QString html = DoctorWindow::checksHtml(d);
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
    EmptyWindow w;
    auto *doctor = w.window.findChild<QAction *>(QStringLiteral("DoctorAction"));
    ASSERT_TRUE(doctor);
    EXPECT_EQ(doctor->text(), "Диагностика подключения");
    doctor->trigger();
    auto *shown = w.window.findChild<DoctorWindow *>();
    ASSERT_TRUE(shown);
    ASSERT_TRUE(test::waitUntil([&] { return !shown->isProbing(); }, 10000));
    EXPECT_EQ(shown->diagnosis().verdict, Verdict::NoRule);
    auto *trace = w.window.findChild<QAction *>(QStringLiteral("TraceAction"));
    ASSERT_TRUE(trace);
    EXPECT_EQ(trace->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_T));
    EXPECT_FALSE(trace->isChecked()) << "the trace is closed at start-up";
}

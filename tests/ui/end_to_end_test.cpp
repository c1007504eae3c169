#include "description_rig.h"
#include "loops/widgets/loop_file_page.h"
#include "loops/widgets/loop_page.h"

#include <QSpinBox>
#include <QTabWidget>

#include <gtest/gtest.h>

using namespace vardex;

namespace {

const QString kDemoTitle = QStringLiteral("Vardex 3.19 — демо: контроллер симулирован");
const QString kSerial = QStringLiteral("  S/N=24.3.11.2.17.0.4.2.1.9.");

// The demo's set-up: the window titled as simulated, a full firmware-24 controller
// plugged in after start-up. Every time-out is the program's own.
struct Session {
    Session()
    {
        sim::SimDeviceOptions options;
        options.latencyMs = 1;
        options.realTime = false;
        options.firmware = sim::fullControllerFirmware24();
        id = transport.addDevice(std::move(options));
        window.setApplicationTitle(kDemoTitle);
        transport.start();
    }

    template <class T = QWidget> T *w(const char *name)
    {
        T *found = window.findChild<T *>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QString panel(int n) { return window.statusBar().panelText(n); }
    void showTab(const char *name) { window.pageControl().setCurrentWidget(window.page(name)); }

    void describe()
    {
        bool ended = false;
        auto c = QObject::connect(&window.descriptionReader(), &ui::DescriptionReader::finished,
                                  [&] { ended = true; });
        w<QPushButton>("QueryDeviceBtn")->click();
        EXPECT_TRUE(test::waitUntil([&] { return ended; }, 15000));
        QObject::disconnect(c);
    }

    sim::SimTransport transport;
    link::DataModule dm{transport};
    test::RecordingPrompts prompts;
    ui::MainWindow window{dm, &prompts};
    QString id;
};

} // namespace

TEST(OperatorSession, PlugDescribePollSwitchTransferUnplugAndAgain)
{
    Session s;
    s.window.show();
    EXPECT_EQ(s.panel(0), QStringLiteral("Не подключен"));

    // Plug in: only the description and the log read may talk to the controller.
    s.transport.plug(s.id);
    ASSERT_TRUE(test::waitUntil([&] { return s.panel(0) == QStringLiteral("Подключен"); }));
    EXPECT_TRUE(s.w("QueryDeviceBtn")->isEnabled());
    EXPECT_FALSE(s.w("WorkStateBtn")->isEnabled());

    // Describe: versions, serial number, buttons; the demo caption stays.
    s.describe();
    QString caption;
    EXPECT_GE(test::durationPrefix(s.window.windowTitle(), &caption), 1000); // the pause
    EXPECT_EQ(caption, kDemoTitle + kSerial);
    EXPECT_EQ(s.panel(1), QStringLiteral("v 24"));
    for (const char *name : {"WorkStateBtn", "AskStateBtn", "WorkTaskBtn", "GetDateTimeBtn",
                             "ReadCfgBtn", "GetKeyBtn"})
        EXPECT_TRUE(s.w(name)->isEnabled()) << name;

    s.w<QPushButton>("GetDateTimeBtn")->click();
    EXPECT_TRUE(s.panel(4).startsWith(QStringLiteral("05-03-12 14:"))) << s.panel(4).toStdString();

    // Poll, then switch relay 1 on and fan 2 to 60 %: the next display shows both.
    s.w<QPushButton>("AskStateBtn")->click();
    ASSERT_TRUE(s.window.timer("AskTimer")->isActive());
    ASSERT_FALSE(test::isActiveLook(s.w("cbRelay1")));
    s.w<QCheckBox>("cbRelay1")->click();
    s.w<QScrollBar>("FanBar2")->setValue(60);
    s.w<QPushButton>("WorkTaskBtn")->click();
    EXPECT_TRUE(test::waitUntil(
        [&] {
            return test::isActiveLook(s.w("cbRelay1")) &&
                   s.w<QLabel>("FanTaskLabel2")->text() == QStringLiteral("60 %") &&
                   s.w<QPushButton>("AskStateBtn")->text() != QStringLiteral("Вкл");
        },
        4000));

    // Configuration: the number set on the system page reaches the controller, and a
    // value changed in the controller comes back with a read.
    s.showTab("SetupTabSheet");
    auto *number = s.w<QSpinBox>("SystemConfigNumberEdit");
    number->setValue(number->value() == 9 ? 8 : 9);
    const int written = number->value();
    s.w<QPushButton>("WriteCfgBtn")->click();
    int inController = 0;
    s.transport.withFirmware(
        s.id, [&](sim::Firmware &fw) { inController = fw.config().hardwareConfigNumber(); });
    EXPECT_EQ(inController, written);
    s.transport.withFirmware(s.id,
                             [](sim::Firmware &fw) { fw.config().setHardwareConfigNumber(5); });
    s.w<QPushButton>("ReadCfgBtn")->click();
    EXPECT_EQ(number->value(), 5);

    // Loops: an edit of loop 10 goes out with "write all" (checked by read-back) and
    // comes back with "read all" after the program forgot it.
    ui::MainWindow &win = s.window;
    win.loopPage()->setCurrentLoop(10);
    win.loopPage()->showUprLoop(10, QString());
    auto *use6 = s.w<QCheckBox>("cbDigitInputUpr6");
    ASSERT_TRUE(use6->isEnabled());
    const bool wanted = !use6->isChecked();
    use6->click();
    s.w<QPushButton>("WriteUprLoopConfigBtn")->click();
    bool stored = false;
    s.transport.withFirmware(
        s.id, [&](sim::Firmware &fw) { stored = ((fw.loop(10).contactUse >> 5) & 1) != 0; });
    EXPECT_EQ(stored, wanted);
    s.dm.image().loop(10).contactUse = 0;
    s.w<QPushButton>("ReadUprLoopConfigBtn")->click();
    EXPECT_EQ(((s.dm.image().loop(10).contactUse >> 5) & 1) != 0, wanted);
    EXPECT_TRUE(s.prompts.messages.isEmpty()) << s.prompts.messages.join('|').toStdString();

    // Unplug: caption back to the demo title, polling stopped, hint line empty.
    s.showTab("WorkTabSheet");
    s.window.statusBar().setPanelText(5, QStringLiteral("Текущее время контроллера"));
    s.transport.unplug(s.id);
    ASSERT_TRUE(test::waitUntil([&] { return s.panel(0) == QStringLiteral("Не подключен"); }));
    EXPECT_EQ(s.window.windowTitle(), kDemoTitle);
    EXPECT_FALSE(s.window.timer("AskTimer")->isActive());
    EXPECT_TRUE(s.panel(5).isEmpty());
    EXPECT_FALSE(s.w("WorkStateBtn")->isEnabled());
    EXPECT_FALSE(s.w("QueryDeviceBtn")->isEnabled());

    // Plug in again and describe again: usable as before.
    s.transport.plug(s.id);
    ASSERT_TRUE(test::waitUntil([&] { return s.panel(0) == QStringLiteral("Подключен"); }));
    s.describe();
    EXPECT_TRUE(s.window.windowTitle().endsWith(kDemoTitle + kSerial));
    EXPECT_TRUE(s.w("WorkStateBtn")->isEnabled());
    EXPECT_TRUE(s.w("GetKeyBtn")->isEnabled());
    EXPECT_TRUE(s.prompts.messages.isEmpty()) << s.prompts.messages.join('|').toStdString();
}

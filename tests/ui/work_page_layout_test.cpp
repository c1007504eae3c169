#include "link/data_module.h"
#include "support/layout_check.h"
#include "support/recording_prompts.h"
#include "support/test_support.h"
#include "ui/main_window.h"
#include "work/widgets/work_page.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>

#include "support/no_devices.h"

#include <gtest/gtest.h>

using namespace vardex;

namespace {

struct Window {
    test::NoDevices transport;
    link::DataModule dm{transport};
    test::RecordingPrompts prompts;
    ui::MainWindow window{dm, &prompts};
    QWidget *page = nullptr;

    Window()
    {
        window.show();
        page = window.findChild<ui::WorkPage *>();
        test::waitUntil([&] { return window.isVisible(); });
    }
};

} // namespace

TEST(WorkPageLayout, WholePageFitsTheFixedWindow)
{
    Window w;
    ASSERT_NE(w.page, nullptr);
    const QSize min = w.page->minimumSizeHint();
    EXPECT_LE(min.width(), w.page->width());
    EXPECT_LE(min.height(), w.page->height());
    // The tab page area of the fixed 835 x 701 window.
    EXPECT_GE(w.page->width(), 800);
    EXPECT_GE(w.page->height(), 600);
}

TEST(WorkPageLayout, NoControlClippedOrOverlapping)
{
    Window w;
    ASSERT_NE(w.page, nullptr);
    // The widest look: every channel enabled, every output and contact bold, long values.
    auto *page = static_cast<ui::WorkPage *>(w.page);
    link::DeviceImage &image = w.dm.image();
    image.config.contactEnable = image.config.ttlInputEnable = image.config.ttlOutputEnable = 0xFF;
    image.config.switchEnable = 0xFF;
    image.config.analogEnable = image.config.temperEnable = image.config.relayEnable = 0x3F;
    image.config.fanEnable = 0x0F;
    image.state.contactInputs = image.state.ttlInputs = image.state.ttlOutputs = 0xFF;
    image.state.switches = 0xFF;
    image.state.relays = 0x3F;
    image.state.systemFlags.fill(0xFF);
    image.state.analogValues = {12.1f, 24.3f, 5.02f, -1234.5f, 88.8f, 231.4f};
    image.state.temperatures = {-110, 50, 64, -2000, 2000, -32768};
    image.state.fanSpeeds = {1200, 65535, 0, 980};
    image.state.fanTasks = {100, 50, 0, 75};
    page->enableChannels(image.config);
    page->showMonitorState();
    page->askStateButton()->setText("1234");
    for (QPushButton *b : page->findChildren<QPushButton *>())
        b->setEnabled(true); // as after a description
    w.page->layout()->activate();
    test::spin(50);
    const test::LayoutReport layout = test::checkLayout(w.page);
    EXPECT_TRUE(layout.ok()) << layout.text().toStdString();
    const int checked = layout.checked;
    EXPECT_GT(checked, 150); // 64 flags less the hidden ones, inputs, outputs, buttons

    // For a look at the page: VARDEX_SCREENSHOT=<file.png>.
    const QString shot = qEnvironmentVariable("VARDEX_SCREENSHOT");
    if (!shot.isEmpty()) {
        EXPECT_TRUE(w.window.grab().save(shot));
    }
}

TEST(WorkPageLayout, FlagsCarryHintsButNoTooltips)
{
    Window w;
    auto *page = static_cast<ui::WorkPage *>(w.page);
    EXPECT_EQ(page->flag(33)->statusTip(), "Включен контур управления ТТЛ_1");
    EXPECT_TRUE(page->flag(33)->toolTip().isEmpty());
    EXPECT_TRUE(page->flag(9)->text().isEmpty());
    EXPECT_TRUE(page->flag(9)->isVisibleTo(page));
    EXPECT_FALSE(page->flag(13)->isVisibleTo(page));
    EXPECT_FALSE(page->flag(64)->isVisibleTo(page));
    // The main window names the channels at start-up.
    EXPECT_EQ(page->flag(5)->text(), "A5");
    for (QWidget *c : page->findChild<QGroupBox *>("SystemGroupBox")->findChildren<QWidget *>())
        EXPECT_TRUE(c->toolTip().isEmpty()) << c->objectName().toStdString();
    // Other controls show their hint as a tooltip as well.
    EXPECT_EQ(page->askStateButton()->toolTip(), "Циклический опрос состояния монитора");
    EXPECT_EQ(page->askStateButton()->statusTip(), page->askStateButton()->toolTip());
    auto *fanLabel = page->findChild<QLabel *>("FanTaskLabel2");
    ASSERT_NE(fanLabel, nullptr);
    EXPECT_EQ(fanLabel->statusTip(), "Текущее задание вентилятора №2");
    EXPECT_FALSE(page->findChild<QWidget *>("SetHashTimerBtn")->isVisibleTo(page));
}

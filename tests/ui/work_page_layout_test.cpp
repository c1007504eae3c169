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
#include <QMap>
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
    // The page lays out its controls in its body (see WorkPage::m_body).
    w.page->findChild<QWidget *>(QStringLiteral("WorkPageBody"))->layout()->activate();
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

namespace {

// Every control's place on the page.
QMap<QString, QRect> placesOf(QWidget *page)
{
    QMap<QString, QRect> places;
    for (QWidget *c : page->findChildren<QWidget *>()) {
        if (!c->isVisibleTo(page) || !test::isLayoutControl(c) || c->objectName().isEmpty())
            continue;
        places.insert(c->objectName(), QRect(c->mapTo(page, QPoint(0, 0)), c->size()));
    }
    return places;
}

void showAll(Window &w, bool on, float analog, std::uint16_t fanSpeed)
{
    auto *page = static_cast<ui::WorkPage *>(w.page);
    link::DeviceImage &image = w.dm.image();
    const std::uint8_t mask = on ? 0xFF : 0x00;
    image.state.contactInputs = image.state.ttlInputs = image.state.ttlOutputs = mask;
    image.state.switches = mask;
    image.state.relays = mask & 0x3F;
    image.state.systemFlags.fill(mask);
    image.state.analogValues.fill(analog);
    image.state.temperatures.fill(on ? -2000 : 0);
    image.state.fanSpeeds.fill(fanSpeed);
    image.state.fanTasks.fill(on ? 100 : 0);
    page->showMonitorState();
    // The page lays out its controls in its body (see WorkPage::m_body).
    w.page->findChild<QWidget *>(QStringLiteral("WorkPageBody"))->layout()->activate();
    test::spin(30);
}

} // namespace

TEST(WorkPageLayout, NoControlMovesWhenValuesOrBoldLooksChange)
{
    Window w;
    auto *page = static_cast<ui::WorkPage *>(w.page);
    link::MonitorConfig &c = w.dm.image().config;
    c.contactEnable = c.ttlInputEnable = c.ttlOutputEnable = c.switchEnable = 0xFF;
    c.analogEnable = c.temperEnable = c.relayEnable = 0x3F;
    c.fanEnable = 0x0F;
    page->enableChannels(c);

    showAll(w, false, 0.0f, 0);
    const QMap<QString, QRect> plain = placesOf(w.page);
    ASSERT_GT(plain.size(), 100);
    // Every output and contact bold and green, every flag set, long values.
    showAll(w, true, -1234567.8f, 65535);
    const QMap<QString, QRect> active = placesOf(w.page);
    for (auto it = plain.cbegin(); it != plain.cend(); ++it) {
        const QRect now = active.value(it.key());
        EXPECT_EQ(now, it.value()) << it.key().toStdString() << " moved";
    }
    showAll(w, false, 0.0f, 0);
    EXPECT_EQ(placesOf(w.page), plain);
}

TEST(WorkPageLayout, ValueFieldsShowTheWholeValueOrSayVisiblyThatTheyCutIt)
{
    Window w;
    auto *page = static_cast<ui::WorkPage *>(w.page);
    auto *field = page->findChild<QLabel *>("stAnalog1");
    ASSERT_NE(field, nullptr);
    const auto fits = [&] {
        return field->fontMetrics().horizontalAdvance(field->text()) + 2 * field->margin() <=
               field->contentsRect().width();
    };
    // The widest reading a sensor sends is shown whole.
    w.dm.image().state.analogValues[0] = -16384.0f;
    page->showMonitorState();
    EXPECT_EQ(field->text(), QStringLiteral("-16384.0"));
    EXPECT_TRUE(fits());
    // What a float can carry beyond that is cut behind its sign and leading digits,
    // marked, and whole in the hint.
    const struct {
        float value;
        const char *front;
        const char *whole;
    } wide[] = {{1234567.8f, "12345", "1234567.8"},
                {-1234567.8f, "-1234", "-1234567.8"},
                {2199023255552.0f, "21990", "2199023255552.0"}};
    for (const auto &c : wide) {
        w.dm.image().state.analogValues[0] = c.value;
        page->showMonitorState();
        const QString shown = field->text();
        EXPECT_TRUE(shown.startsWith(QLatin1String(c.front))) << shown.toStdString();
        EXPECT_TRUE(shown.endsWith(QChar(0x2026))) << shown.toStdString();
        EXPECT_TRUE(fits()) << shown.toStdString();
        EXPECT_TRUE(field->toolTip().contains(QLatin1String(c.whole)))
            << field->toolTip().toStdString();
    }
    EXPECT_EQ(field->statusTip(), field->toolTip());
    // Back to a short value: whole again, and the hint no longer carries the old value.
    w.dm.image().state.analogValues[0] = 12.5f;
    page->showMonitorState();
    EXPECT_EQ(field->text(), QStringLiteral("12.5"));
    EXPECT_FALSE(field->toolTip().contains(QStringLiteral("2199023255552.0")));
}

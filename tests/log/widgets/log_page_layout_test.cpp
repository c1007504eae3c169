#include "link/data_module.h"
#include "log/log_record.h"
#include "log/widgets/log_frame.h"
#include "support/layout_check.h"
#include "support/no_devices.h"
#include "support/recording_prompts.h"
#include "support/test_support.h"
#include "ui/main_window.h"

#include <QLabel>
#include <QPushButton>
#include <QTabWidget>

#include <gtest/gtest.h>

using namespace vardex;

// The log page in the fixed window, showing its widest record: every output on (bold),
// the widest temperature and analog values. Nothing may be cut or overlap.
TEST(LogPageLayout, WidestRecordFitsTheFixedWindow)
{
    test::NoDevices transport;
    link::DataModule dm{transport};
    test::RecordingPrompts prompts;
    ui::MainWindow window{dm, &prompts};
    window.show();
    ASSERT_TRUE(test::waitUntil([&] { return window.isVisible(); }));
    log::LogFrame *page = window.logFrame();
    ASSERT_NE(page, nullptr);
    auto *tabs = window.findChild<QTabWidget *>();
    tabs->setCurrentIndex(tabs->indexOf(page->parentWidget()));

    log::LogRecord r;
    r.number = 4294967295u;
    r.day = r.month = r.hour = r.minute = r.second = r.year = 255;
    r.contacts = r.ttlInputs = 0xFF;
    r.ttlOutputControl = r.ttlOutputState = 0xFF;
    r.switchControl = r.switchState = 0xFF;
    r.relayControl = r.relayState = 0x3F;
    r.analog = {3e38f, -1.5e9f, 12.5f, -1234.5f, 88.8f};
    r.mains = 231.4f;
    r.temperatures = {-32768, 32767, -110, 2000, 50, -20};
    r.fanSpeeds = {65535, 65535, 65535, 65535};
    r.fanTasks = {255, 255, 255, 255};
    r.flagGroups.fill(0xFF);
    const auto bytes = r.encode();
    const QString path = test::tempPath(QStringLiteral("widest.log"));
    test::writeFile(path, QByteArray(reinterpret_cast<const char *>(bytes.data()), bytes.size()));
    prompts.openAnswers = {path};
    page->findChild<QPushButton *>(QStringLiteral("LoadLogBtn"))->click();
    ASSERT_EQ(page->store().count(), 1);
    test::spin(50);

    const test::LayoutReport layout = test::checkLayout(page);
    EXPECT_TRUE(layout.ok()) << layout.text().toStdString();
    EXPECT_GT(layout.checked, 150);

    // The longest account of a read: stopped, with records that never came.
    page->findChild<QLabel *>(QStringLiteral("Label1"))
        ->setText(QStringLiteral("Время 00:31:10, прочитано 16383 из 16384, пропущено 16383"));
    test::spin(50);
    const test::LayoutReport afterRead = test::checkLayout(page);
    EXPECT_TRUE(afterRead.ok()) << afterRead.text().toStdString();
}

#include "kit/widgets/status_bar.h"
#include "link/data_module.h"
#include "log/widgets/log_frame.h"
#include "support/recording_prompts.h"
#include "ui/key_letter.h"
#include "ui/main_window.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include "support/no_devices.h"

#include <gtest/gtest.h>

using namespace vardex;

namespace {

struct Window {
    test::NoDevices transport;
    link::DataModule dm{transport};
    test::RecordingPrompts prompts;
    ui::MainWindow window{dm, &prompts};

    QWidget *widget(const char *name) { return window.findChild<QWidget *>(QLatin1String(name)); }
};

} // namespace

TEST(MainWindowStartup, ShowsWorkLogAndSetupTabsOnly)
{
    Window w;
    EXPECT_EQ(w.window.windowTitle(), QStringLiteral("Vardex 3.19"));
    EXPECT_EQ(w.window.statusBar().panelText(0), QStringLiteral("Не подключен"));
    for (int i = 1; i < 6; ++i)
        EXPECT_TRUE(w.window.statusBar().panelText(i).isEmpty()) << i;
    EXPECT_EQ(w.window.pageControl().currentWidget()->objectName(), QStringLiteral("WorkTabSheet"));

    const QStringList shown = {"WorkTabSheet", "LogTabSheet", "SetupTabSheet"};
    QTabWidget &pages = w.window.pageControl();
    ASSERT_EQ(pages.count(), 11);
    for (int i = 0; i < pages.count(); ++i) {
        const QString name = pages.widget(i)->objectName();
        EXPECT_EQ(pages.isTabVisible(i), shown.contains(name)) << name.toStdString();
    }
    EXPECT_EQ(pages.tabText(0), QStringLiteral("Работа "));
    EXPECT_EQ(pages.tabText(7), QStringLiteral("LAN_сторож"));
}

TEST(MainWindowStartup, WindowGeometryTimersAndProgressBar)
{
    Window w;
    EXPECT_EQ(w.window.size(), QSize(835, 701));
    EXPECT_FALSE(w.window.windowFlags() & Qt::WindowMaximizeButtonHint);

    EXPECT_FALSE(w.window.timer("AskTimer")->isActive());
    EXPECT_EQ(w.window.timer("AskTimer")->interval(), 1000);
    EXPECT_FALSE(w.window.timer("PingTimer")->isActive());
    EXPECT_TRUE(w.window.timer("PWMSwitchTimer")->isActive());
    EXPECT_EQ(w.window.timer("PWMSwitchTimer")->interval(), 500);
    EXPECT_FALSE(w.window.timer("Test5VoltTimer")->isActive());

    w.window.show();
    QProgressBar *bar = w.window.statusBar().progressBar();
    EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(bar->x(), 398);
    EXPECT_EQ(bar->y(), 2);
    EXPECT_EQ(bar->width(), w.window.statusBar().width() - 394);
}

TEST(MainWindowStartup, LoopInputsClearedAndRecordStoreAllocated)
{
    Window w;
    for (int n = 1; n <= link::kLoopCount; ++n)
        EXPECT_EQ(w.dm.image().loop(n).contactUse, 0);
    ASSERT_NE(w.window.logFrame(), nullptr);
    EXPECT_TRUE(w.window.logFrame()->hasRecordStore());
}

TEST(MainWindowConnection, ConnectEnablesOnlyDescriptionAndLogRead)
{
    Window w;
    w.window.setConnected(true);
    EXPECT_EQ(w.window.statusBar().panelText(0), QStringLiteral("Подключен"));
    EXPECT_TRUE(w.widget("QueryDeviceBtn")->isEnabled());
    EXPECT_TRUE(w.widget("ReadLogBtn")->isEnabled());
    EXPECT_FALSE(w.widget("WorkStateBtn")->isEnabled());
    EXPECT_FALSE(w.widget("AskStateBtn")->isEnabled());
}

TEST(MainWindowConnection, RemovalResetsCaptionHintLineButtonsAndPolling)
{
    Window w;
    w.window.setConnected(true);
    // As after a description: caption with the serial number, buttons on, polling.
    w.window.setWindowTitle(QStringLiteral("2381 Vardex 3.19  S/N=1.2.3.4.5.6.7.8.9.10."));
    for (const char *name : {"WorkStateBtn", "AskStateBtn", "WorkTaskBtn", "GetKeyBtn"})
        w.widget(name)->setEnabled(true);
    w.window.timer("AskTimer")->start();
    w.window.statusBar().setPanelText(5, QStringLiteral("Error: broken pipe (20)"));

    w.window.setConnected(false);
    EXPECT_EQ(w.window.windowTitle(), QStringLiteral("Vardex 3.19"));
    EXPECT_EQ(w.window.statusBar().panelText(0), QStringLiteral("Не подключен"));
    EXPECT_TRUE(w.window.statusBar().panelText(5).isEmpty());
    EXPECT_FALSE(w.window.timer("AskTimer")->isActive());
    for (const char *name : {"QueryDeviceBtn", "ReadLogBtn", "WorkStateBtn", "AskStateBtn",
                             "WorkTaskBtn", "GetKeyBtn"})
        EXPECT_FALSE(w.widget(name)->isEnabled()) << name;
}

TEST(MainWindowConnection, LinkErrorStaysInHintLineUntilNextConnectionChange)
{
    Window w;
    emit w.dm.linkError(QStringLiteral("Error: No such device (13)"));
    EXPECT_EQ(w.window.statusBar().panelText(5), QStringLiteral("Error: No such device (13)"));
    w.window.setConnected(true);
    EXPECT_TRUE(w.window.statusBar().panelText(5).isEmpty());
}

namespace {

void typeWithAlt(ui::MainWindow &window, const QString &letters,
                 Qt::KeyboardModifiers mods = Qt::AltModifier)
{
    for (QChar c : letters)
        QTest::keyClick(&window, static_cast<Qt::Key>(Qt::Key_A + (c.unicode() - u'A')), mods);
}

} // namespace

TEST(HiddenModeCode, FullCodeShowsSetupTab)
{
    Window w;
    w.window.show();
    w.window.setTabShown(QStringLiteral("SetupTabSheet"), false);
    typeWithAlt(w.window, QStringLiteral("KORV"));
    EXPECT_FALSE(w.window.isTabShown(QStringLiteral("SetupTabSheet")));
    typeWithAlt(w.window, QStringLiteral("A"));
    EXPECT_TRUE(w.window.isTabShown(QStringLiteral("SetupTabSheet")));
    EXPECT_EQ(w.window.typedLetters(), QStringLiteral("KORVA"));
    // The next letter makes a non-prefix and empties the letters.
    typeWithAlt(w.window, QStringLiteral("K"));
    EXPECT_TRUE(w.window.typedLetters().isEmpty());
}

TEST(HiddenModeCode, WrongLetterResetsAndCodeStillMatchesAfterwards)
{
    Window w;
    w.window.show();
    w.window.setTabShown(QStringLiteral("SetupTabSheet"), false);
    typeWithAlt(w.window, QStringLiteral("KOX"));
    EXPECT_TRUE(w.window.typedLetters().isEmpty());
    typeWithAlt(w.window, QStringLiteral("KORVA"));
    EXPECT_TRUE(w.window.isTabShown(QStringLiteral("SetupTabSheet")));
}

TEST(HiddenModeCode, KeysWithoutExactlyAltNeitherCountNorReset)
{
    Window w;
    w.window.show();
    typeWithAlt(w.window, QStringLiteral("KO"));
    typeWithAlt(w.window, QStringLiteral("X"), Qt::AltModifier | Qt::ControlModifier);
    typeWithAlt(w.window, QStringLiteral("X"), Qt::AltModifier | Qt::ShiftModifier);
    typeWithAlt(w.window, QStringLiteral("X"), Qt::NoModifier);
    QTest::keyClick(&w.window, Qt::Key_5, Qt::AltModifier);
    EXPECT_EQ(w.window.typedLetters(), QStringLiteral("KO"));
}

TEST(StatusBarHints, PanelDescriptionsByPosition)
{
    EXPECT_EQ(ui::StatusBar::panelHint(1), QStringLiteral("Статус подключения по USB"));
    EXPECT_EQ(ui::StatusBar::panelHint(100), QStringLiteral("Статус подключения по USB"));
    EXPECT_EQ(ui::StatusBar::panelHint(102), QStringLiteral("Версия прошивки контроллера"));
    EXPECT_EQ(ui::StatusBar::panelHint(200),
              QStringLiteral("Вариант конструкции и монтажа контроллера"));
    EXPECT_EQ(ui::StatusBar::panelHint(250), QStringLiteral("Номер конфигурации железа"));
    EXPECT_EQ(ui::StatusBar::panelHint(394), QStringLiteral("Текущее время контроллера"));
    for (int x : {0, 101, 151, 201, 251, 395, 700})
        EXPECT_TRUE(ui::StatusBar::panelHint(x).isEmpty()) << x;
}

TEST(StatusBarHints, MouseOverBorderEmptiesHintLine)
{
    Window w;
    w.window.show();
    QWidget &bar = w.window.statusBar();
    QTest::mouseMove(&bar, QPoint(50, 5));
    EXPECT_EQ(w.window.statusBar().panelText(5), QStringLiteral("Статус подключения по USB"));
    QTest::mouseMove(&bar, QPoint(101, 5));
    EXPECT_TRUE(w.window.statusBar().panelText(5).isEmpty());
    QTest::mouseMove(&bar, QPoint(160, 5));
    EXPECT_EQ(w.window.statusBar().panelText(5),
              QStringLiteral("Вариант конструкции и монтажа контроллера"));
    QTest::mouseMove(&bar, QPoint(151, 5));
    EXPECT_TRUE(w.window.statusBar().panelText(5).isEmpty());
}

TEST(MainWindowClose, ClosingWithoutControllerFreesStoreAndSendsNothing)
{
    Window w;
    w.window.show();
    EXPECT_TRUE(w.window.close());
    EXPECT_FALSE(w.window.logFrame()->hasRecordStore());
    EXPECT_EQ(w.transport.writes, 0);
}

TEST(MainWindowStartup, ChannelNamesReplaceTheFormCaptions)
{
    Window w;
    const char *const families[][3] = {
        {"Label10", "Label11", "Label12"},
        {"cbFlags4", "cbFlags5", "cbFlags6"},
        {"cbAnalogEnabled4", "cbAnalogEnabled5", "cbAnalogEnabled6"},
        {"cbAnalogLogEnabled4", "cbAnalogLogEnabled5", "cbAnalogLogEnabled6"},
        {"cbAnalogUpr4", "cbAnalogUpr5", "cbAnalogUpr6"},
    };
    const QString names[3] = {QStringLiteral("A4"), QStringLiteral("A5"),
                              QStringLiteral("VFC_220")};
    for (const auto &family : families) {
        for (int i = 0; i < 3; ++i) {
            QWidget *control = w.widget(family[i]);
            ASSERT_NE(control, nullptr) << family[i];
            QString text;
            if (auto *label = qobject_cast<QLabel *>(control))
                text = label->text();
            else if (auto *button = qobject_cast<QAbstractButton *>(control))
                text = button->text();
            EXPECT_EQ(text, names[i]) << family[i];
        }
    }
}

TEST(HiddenModeCode, LetterKeysByPlaceForNonLatinLayouts)
{
    // XKB keycodes (evdev + 8) of the code's keys: K O R V A.
    EXPECT_EQ(ui::qwertyLetterAt(37 + 8), QChar(u'K'));
    EXPECT_EQ(ui::qwertyLetterAt(24 + 8), QChar(u'O'));
    EXPECT_EQ(ui::qwertyLetterAt(19 + 8), QChar(u'R'));
    EXPECT_EQ(ui::qwertyLetterAt(47 + 8), QChar(u'V'));
    EXPECT_EQ(ui::qwertyLetterAt(30 + 8), QChar(u'A'));
    // Row ends and the keys between and around the rows are no letters.
    EXPECT_EQ(ui::qwertyLetterAt(16 + 8), QChar(u'Q'));
    EXPECT_EQ(ui::qwertyLetterAt(50 + 8), QChar(u'M'));
    for (quint32 notLetter : {0u, 15u + 8, 26u + 8, 29u + 8, 39u + 8, 43u + 8, 51u + 8, 255u})
        EXPECT_TRUE(ui::qwertyLetterAt(notLetter).isNull()) << notLetter;
}

TEST(MainWindowHints, TooltipsOnlyOnTheWorkPage)
{
    Window w;
    QWidget *work = w.window.page(QStringLiteral("WorkTabSheet"));
    int hinted = 0;
    for (QWidget *child : w.window.findChildren<QWidget *>()) {
        if (work->isAncestorOf(child))
            continue;
        EXPECT_TRUE(child->toolTip().isEmpty()) << child->objectName().toStdString();
        hinted += !child->statusTip().isEmpty();
    }
    // The long hints of the other pages still reach the hint line.
    EXPECT_GT(hinted, 0);
}

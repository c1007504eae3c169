#include "display/commands.h"
#include "display/module_model.h"
#include "display/widgets/futaba_page.h"
#include "display/widgets/module_preview.h"
#include "display/widgets/picture_grid.h"
#include "link/protocol.h"
#include "support/event_tally.h"
#include "support/layout_check.h"
#include "support/page_rig.h"
#include "ui/main_window.h"

#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace vardex;
using namespace vardex::display;

namespace {

struct FutabaRig : test::PageRig {
    FutabaPage page{ctx};

    template <typename T = QPushButton> T *child(const char *name)
    {
        return page.findChild<T *>(QLatin1String(name));
    }
    void click(const char *name)
    {
        auto *b = child<QAbstractButton>(name);
        ASSERT_NE(b, nullptr) << name;
        b->click();
    }
    bool idle()
    {
        return test::waitUntil([&] { return !dm.isBusy(); }, 20000);
    }
    std::vector<std::uint8_t> serialLine()
    {
        std::vector<std::uint8_t> out;
        transport.withFirmware(id, [&](sim::Firmware &f) { out = f.serialBytes(); });
        return out;
    }
    bool previewMatchesModule()
    {
        bool same = false;
        transport.withFirmware(
            id, [&](sim::Firmware &f) { same = f.displayModule() == page.preview(); });
        return same;
    }
};

std::vector<std::uint8_t> cat(std::initializer_list<Command> parts)
{
    std::vector<std::uint8_t> out;
    for (const auto &p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

} // namespace

TEST(FutabaPage, ControlsStartAsTheBenchExpects)
{
    FutabaRig r;
    struct Btn {
        const char *name, *caption, *hint;
        int tag;
    };
    const Btn buttons[] = {
        {"SendRS232Btn", "Загрузка", "Статический текс в первой строке", 1},
        {"SendRS232_Line2_Btn", "Загрузка", "Статический текс во второй строке", 2},
        {"ClearLine2Btn", "Очистка", "Очистка строки 2", 2},
        {"ScrollLine2Btn", "Загрузка", "", 2},
        {"ClearScrollLine1Btn", "Очистка", "", 1},
        {"SetScrolLine2Btn", "Загрузка 2", "Загрузка данных прокрутки второй строки", 2},
        {"FilFutabaBtn", "Заливка ", "Заполнение всего экрана", 0},
        {"TestFutabaBtn", "Тест 1", "Запуск теста индикатора", 0},
        {"LoadGraphToFutabaBtn", "Загрузка", "Загрузка картинки в позицию FUTABA", 0},
        {"WriteFutabaTestFramBtn", "Запись", "Запись тестового пакета для FUTABA в контроллер", 0},
    };
    for (const Btn &b : buttons) {
        auto *w = r.child(b.name);
        ASSERT_NE(w, nullptr) << b.name;
        EXPECT_EQ(w->text(), QString::fromUtf8(b.caption)) << b.name;
        EXPECT_EQ(w->statusTip(), QString::fromUtf8(b.hint)) << b.name;
        EXPECT_EQ(w->property("tag").toInt(), b.tag) << b.name;
    }
    r.page.show();
    for (const char *hidden : {"SpeedButton1", "SetScrolLine4Btn"}) {
        ASSERT_NE(r.child(hidden), nullptr);
        EXPECT_FALSE(r.child(hidden)->isVisible()) << hidden;
    }
    EXPECT_NE(r.child<QToolButton>("SpeedButton2"), nullptr);

    auto *dim = r.child<QComboBox>("DimmingBox");
    EXPECT_EQ(dim->currentIndex(), -1);
    EXPECT_EQ(dim->placeholderText(), QStringLiteral("100%"));
    auto *mode = r.child<QComboBox>("ScreenModeBox");
    EXPECT_EQ(mode->count(), 8);
    EXPECT_EQ(mode->currentText(), QStringLiteral("24х24, 12х24    2 строки"));
    EXPECT_EQ(r.child<QComboBox>("cbFutabaKont")->itemText(7), QStringLiteral("Кон. 8"));
    EXPECT_EQ(r.child<QComboBox>("SingleScrollSpeedLine2Box")->currentText(),
              QStringLiteral(" 25 ms"));
    EXPECT_EQ(r.child<QLineEdit>("FutabaLine2Edit")->text(), QStringLiteral("Строка 2"));
    EXPECT_EQ(r.child<QSpinBox>("PosYEdit")->maximum(), 64);
    EXPECT_EQ(r.child<QSpinBox>("PosXEdit")->maximum(), 255);
}

TEST(FutabaPage, ButtonsSendThroughTheSerialLine)
{
    FutabaRig r;
    ASSERT_TRUE(r.connected);
    r.child<QLineEdit>("FutabaLine1Edit")->setText(QStringLiteral("Яд1"));
    r.click("SendRS232Btn");
    r.click("SetDimmingModeBtn"); // no item chosen: level 5
    r.child<QComboBox>("DimmingBox")->setCurrentIndex(4);
    r.click("SetDimmingModeBtn");
    ASSERT_TRUE(r.idle());
    const auto expected = cat(
        {cursorTo(1, 1), eraseToLineEnd(), {0x84, 0x60, 0x84, 0x74, 0x31}, dimming(5), dimming(4)});
    test::waitUntil([&] { return r.serialLine().size() >= expected.size(); });
    EXPECT_EQ(r.serialLine(), expected);
    EXPECT_TRUE(r.previewMatchesModule());
    EXPECT_EQ(r.page.preview().dimming(), 4);
    EXPECT_EQ(r.child("WriteFutabaTestFramBtn")->text(), QStringLiteral("Зап. 41"));
}

TEST(FutabaPage, TooLongTextIsRefusedWithAMessage)
{
    FutabaRig r;
    r.child<QLineEdit>("FutabaLine2Edit")->setText(QString(30, QChar(u'Ж')));
    r.click("SendRS232_Line2_Btn");
    ASSERT_TRUE(r.idle());
    EXPECT_TRUE(r.serialLine().empty());
    ASSERT_EQ(r.prompts.messages.size(), 1);
    EXPECT_EQ(r.prompts.messages[0], QStringLiteral("Длина строки превышает максимальный размер"));
}

TEST(FutabaPage, TestTwoRunsOnceAndStopsAfterItsPass)
{
    FutabaRig r;
    r.page.grid().toggle(0, 0);
    // The test runs inside the click; the engineer's next clicks come from the event loop.
    bool wasRunning = false;
    QTimer::singleShot(600, &r.page, [&] {
        wasRunning = r.page.test2Running();
        r.click("FutabaTest2Btn"); // refused while running
        r.click("StopTest2Btn");
    });
    r.click("FutabaTest2Btn");
    ASSERT_TRUE(r.idle());
    EXPECT_TRUE(wasRunning);
    EXPECT_FALSE(r.page.test2Running());
    // Whole passes only: every picture is followed by its clear screen, and the
    // first two passes are at (0, 0) and (1, 1).
    const auto line = r.serialLine();
    const Command first = bitmap(0, 0, 16, 16, r.page.grid().picture().bitmapBytes());
    ASSERT_GE(line.size(), first.size());
    EXPECT_TRUE(std::equal(first.begin(), first.end(), line.begin()));
    const Command clear = clearScreen();
    EXPECT_TRUE(std::equal(clear.begin(), clear.end(), line.end() - 4));
    const Command second = bitmap(1, 1, 16, 16, r.page.grid().picture().bitmapBytes());
    EXPECT_TRUE(std::equal(second.begin(), second.end(), line.begin() + first.size() + 4));
    EXPECT_EQ(r.received(link::protocol::code::SerialSend).size() % 2, 0u);
}

TEST(FutabaPage, ClosingEndsARunningSequenceQuietly)
{
    FutabaRig r;
    QTimer::singleShot(300, &r.page, [&] { r.dm.shutdown(); });
    r.click("FutabaTest2Btn");
    ASSERT_TRUE(r.idle());
    EXPECT_FALSE(r.page.test2Running());
    EXPECT_FALSE(r.serialLine().empty());
    EXPECT_TRUE(r.prompts.messages.isEmpty());
}

TEST(FutabaPage, PicturesSaveWholeAndBadFilesAreRefused)
{
    FutabaRig r;
    r.page.grid().toggle(0, 0);
    const QString path = test::tempPath(QStringLiteral("pic.fgd"));
    test::writeFile(path, QByteArray(400, 'Z')); // an older, longer file
    r.prompts.saveAnswers.push_back(path);
    r.click("SaveGraphBtn");
    ASSERT_EQ(r.prompts.saveRequests.size(), 1);
    EXPECT_EQ(r.prompts.saveRequests[0].title, QStringLiteral("Сохранить картинку"));
    EXPECT_EQ(r.prompts.saveRequests[0].filterIndex, 4);
    QByteArray expected("\x10\x10\x31", 3);
    expected.append(255, '\x30');
    EXPECT_EQ(test::readFile(path), expected);

    r.page.grid().clearCells();
    r.prompts.openAnswers.push_back(path);
    r.click("LoadGraphBtn");
    EXPECT_EQ(r.prompts.openRequests[0].filterIndex, 6);
    EXPECT_TRUE(r.page.grid().picture().lit(0, 0));
    EXPECT_TRUE(r.prompts.messages.isEmpty());

    const Picture before = r.page.grid().picture();
    for (const QByteArray &bad :
         {QByteArray("\x00\x10", 2), QByteArray("\x41\x41", 2) + QByteArray(65 * 65, '1'),
          QByteArray("\x10\x10", 2) + QByteArray(100, '1')}) {
        const QString badPath = test::tempPath(QStringLiteral("bad.fgd"));
        test::writeFile(badPath, bad);
        r.prompts.openAnswers.push_back(badPath);
        r.click("LoadGraphBtn");
        ASSERT_FALSE(r.prompts.messages.isEmpty());
        EXPECT_TRUE(r.prompts.messages.last().contains(badPath))
            << r.prompts.messages.last().toStdString();
        EXPECT_EQ(r.page.grid().picture(), before);
    }
    r.prompts.openAnswers.push_back(test::tempPath(QStringLiteral("missing.fgd")));
    r.click("LoadGraphBtn");
    EXPECT_TRUE(r.prompts.messages.last().contains(QStringLiteral("missing.fgd")));
    const auto shown = r.prompts.messages.size();
    r.prompts.saveAnswers.push_back(test::tempPath(QStringLiteral("no-such-folder/pic.fgd")));
    r.click("SaveGraphBtn");
    ASSERT_EQ(r.prompts.messages.size(), shown + 1);
    EXPECT_TRUE(r.prompts.messages.last().contains(QStringLiteral("pic.fgd")));

    // Only what a picture can hold is read: trailing bytes of a huge file are not.
    QByteArray huge = expected;
    huge.append(8 * 1024 * 1024, '1');
    test::writeFile(path, huge);
    r.page.grid().clearCells();
    r.prompts.openAnswers.push_back(path);
    r.click("LoadGraphBtn");
    EXPECT_EQ(r.prompts.messages.size(), shown + 1);
    EXPECT_TRUE(r.page.grid().picture().lit(0, 0));
    EXPECT_FALSE(r.page.grid().picture().lit(1, 0));
}

TEST(FutabaPage, GridClicksToggleCellsAndPictureGoesToItsPosition)
{
    FutabaRig r;
    PictureGrid &g = r.page.grid();
    g.toggle(3, 2);
    EXPECT_EQ(g.item(2, 3)->text(), QStringLiteral("0"));
    EXPECT_EQ(g.item(2, 3)->background().color(), QColor(Qt::black));
    g.toggle(3, 2);
    EXPECT_TRUE(g.item(2, 3)->text().isEmpty());
    g.toggle(0, 0);
    r.child<QSpinBox>("PosXEdit")->setValue(100);
    r.child<QSpinBox>("PosYEdit")->setValue(20);
    r.click("LoadGraphToFutabaBtn");
    ASSERT_TRUE(r.idle());
    test::waitUntil([&] { return !r.serialLine().empty(); });
    EXPECT_EQ(r.serialLine(), bitmap(100, 20, 16, 16, g.picture().bitmapBytes()));
    EXPECT_TRUE(r.page.preview().pixel(100, 20));
    EXPECT_FALSE(r.page.preview().pixel(101, 20));
}

TEST(FutabaPage, TheScriptIsStoredForTheChosenContact)
{
    FutabaRig r;
    r.click("ResetFutabaBtn");
    r.click("SetScrollBtn");
    r.child<QComboBox>("cbFutabaKont")->setCurrentIndex(2);
    r.click("WriteFutabaTestFramBtn");
    ASSERT_TRUE(r.idle());
    EXPECT_EQ(r.received(link::protocol::code::MemoryWrite).size(), 5u);
    std::array<std::uint8_t, 255> stored{};
    r.transport.withFirmware(r.id, [&](sim::Firmware &f) { f.memory().read(512, stored); });
    EXPECT_TRUE(std::equal(stored.begin(), stored.end(), r.page.script().bytes().begin()));
    EXPECT_EQ(stored[0], 0xFE);
    r.click("ClearFutabaBufBtn");
    EXPECT_EQ(r.child("WriteFutabaTestFramBtn")->text(), QStringLiteral("Зап. 1"));
}

TEST(FutabaPage, TheScriptStoredIsTheOneOfTheClickEvenIfClearedDuringTheWrite)
{
    FutabaRig r;
    for (int i = 0; i < 30; ++i) // entries in all five blocks
        r.click("ResetFutabaBtn");
    ASSERT_TRUE(r.idle());
    ASSERT_GT(r.page.script().position(), 4 * 51);
    const auto atClick = r.page.script().bytes();
    // The engineer empties the buffer while the first block waits for its acknowledgement.
    QTimer::singleShot(0, &r.page, [&r] { r.click("ClearFutabaBufBtn"); });
    r.click("WriteFutabaTestFramBtn");
    ASSERT_TRUE(r.idle());
    ASSERT_EQ(r.page.script().position(), 1);
    EXPECT_EQ(r.received(link::protocol::code::MemoryWrite).size(), 5u);
    std::array<std::uint8_t, 255> stored{};
    r.transport.withFirmware(r.id, [&](sim::Firmware &f) { f.memory().read(0, stored); });
    EXPECT_TRUE(std::equal(stored.begin(), stored.end(), atClick.begin()));
}

TEST(FutabaPage, LayoutFitsTheTabWithWholeCaptions)
{
    FutabaRig r;
    const QSize tab(831, 655); // the main window's page area
    EXPECT_LE(r.page.minimumSizeHint().width(), tab.width());
    EXPECT_LE(r.page.minimumSizeHint().height(), tab.height());
    r.page.resize(tab);
    r.page.show();
    r.page.layout()->activate();
    test::spin(50);
    test::LayoutRules rules;
    rules.fullCaptions = true;
    const test::LayoutReport layout = test::checkLayout(&r.page, rules);
    EXPECT_GT(layout.checked, 40);
    EXPECT_TRUE(layout.ok()) << layout.text().toStdString();
    // The preview shows every dot at least twice as large.
    const QWidget *preview = r.page.findChild<QWidget *>(QStringLiteral("FutabaPreview"));
    ASSERT_NE(preview, nullptr);
    EXPECT_GE(preview->width(), 2 * ModuleModel::kWidth);
    EXPECT_GE(preview->height(), 2 * ModuleModel::kHeight);
    const QString shot = qEnvironmentVariable("VARDEX_SCREENSHOT");
    if (!shot.isEmpty()) {
        EXPECT_TRUE(r.page.grab().save(shot));
    }
}

namespace {

// Requests on the wire in order, as (code, sub).
struct WireLog {
    std::vector<std::pair<int, int>> sent;
    explicit WireLog(link::DataModule &dm)
    {
        dm.setTraceSink([this](const link::TraceEntry &e) {
            if (e.direction == link::TraceEntry::Direction::Sent)
                sent.emplace_back(e.payload[link::pos::Code], e.payload[link::pos::Sub]);
        });
    }
    std::size_t indexOf(int code, std::size_t from = 0) const
    {
        for (std::size_t i = from; i < sent.size(); ++i)
            if (sent[i].first == code)
                return i;
        return sent.size();
    }
};

} // namespace

// While test 2 runs, the engineer's click and a timer tick each get the link within one
// pass of the test (its picture and its clear), not after "Стоп".
TEST(FutabaPageSharing, AClickAndATickDuringTestTwoRunWithinOnePass)
{
    FutabaRig r;
    WireLog wire(r.dm);
    std::size_t clickAt = 0, tickAt = 0;
    link::DataModule::TickOutcome tick = link::DataModule::TickOutcome::Skipped;
    bool clockDuringTest = false, stateDuringTest = false;
    QTimer::singleShot(300, &r.page, [&] {
        clickAt = wire.sent.size();
        r.dm.runBetweenSteps([&](link::OperationContext &ctx) {
            ctx.send(link::protocol::readClock());
            ctx.waitReply(500);
            clockDuringTest = r.page.test2Running();
        });
    });
    QTimer::singleShot(700, &r.page, [&] {
        tickAt = wire.sent.size();
        tick = r.dm.runTick(&r, [&](link::OperationContext &ctx) {
            ctx.send(link::protocol::readState(0));
            ctx.waitReply(500);
            stateDuringTest = r.page.test2Running();
        });
    });
    QTimer::singleShot(1200, &r.page, [&] { r.click("StopTest2Btn"); });
    r.click("FutabaTest2Btn");
    ASSERT_TRUE(r.idle());
    EXPECT_TRUE(clockDuringTest);
    EXPECT_TRUE(stateDuringTest);
    EXPECT_NE(tick, link::DataModule::TickOutcome::Skipped);
    const std::size_t clock = wire.indexOf(link::protocol::code::Clock, clickAt);
    const std::size_t state = wire.indexOf(link::protocol::code::State, tickAt);
    ASSERT_LT(clock, wire.sent.size());
    ASSERT_LT(state, wire.sent.size());
    EXPECT_LE(clock - clickAt, 2u) << "the click waited for more than one pass";
    EXPECT_LE(state - tickAt, 2u) << "the tick waited for more than one pass";
    // Test 2's own bytes are whole passes still.
    EXPECT_EQ(r.received(link::protocol::code::SerialSend).size() % 2, 0u);
}

TEST(FutabaPageSharing, TestOneStopsAtTheNextColumnAndASecondLongSequenceIsRefusedAtOnce)
{
    FutabaRig r;
    std::size_t serialAtStop = 0;
    QTimer::singleShot(300, &r.page, [&] {
        r.click("FutabaTest2Btn"); // refused: test 1 runs
        r.click("WriteFutabaTestFramBtn");
        EXPECT_TRUE(r.statusBar.panelText(5).contains(QStringLiteral("Идёт тест 1")));
        serialAtStop = r.received(link::protocol::code::SerialSend).size();
        r.click("StopTest1Btn");
    });
    r.click("TestFutabaBtn");
    ASSERT_TRUE(r.idle());
    EXPECT_FALSE(r.page.test1Running());
    EXPECT_FALSE(r.page.test2Running());
    const std::size_t sent = r.received(link::protocol::code::SerialSend).size();
    EXPECT_GT(serialAtStop, 0u);
    EXPECT_LE(sent, serialAtStop + 1) << "test 1 went on after its stop";
    EXPECT_LT(sent, 128u);
    EXPECT_TRUE(r.received(link::protocol::code::MemoryWrite).empty());
    EXPECT_TRUE(r.prompts.messages.isEmpty());
}

TEST(FutabaPageSharing, AScriptWriteCutByAnUnplugSaysWhichBlocksTheControllerLacks)
{
    FutabaRig r;
    sim::Fault unplug;
    unplug.kind = sim::Fault::Kind::Unplug;
    unplug.code = link::protocol::code::MemoryWrite;
    unplug.sub = 51; // the second block, at address 51 of contact 1
    r.transport.addFault(r.id, unplug);
    r.click("WriteFutabaTestFramBtn");
    ASSERT_TRUE(r.idle());
    ASSERT_EQ(r.prompts.messages.size(), 1);
    const QString told = r.prompts.messages.front();
    EXPECT_TRUE(told.contains(QStringLiteral("контроллер отключен"))) << told.toStdString();
    EXPECT_TRUE(told.contains(QStringLiteral("блоки 2–5 (байты 51–254)"))) << told.toStdString();
    EXPECT_FALSE(r.page.scriptWriting());
}

// Every command sent moves the write button's caption ("Зап. N"), several times a second
// while a test runs: the new caption repaints the button and the preview shows the
// module, but nothing moves and the tab and the window are not asked for a new layout.
// At its widest the caption is whole.
TEST(FutabaPageQuiet, CommandsSentMoveTheCaptionButNothingElseAndAskTheWindowForNoLayout)
{
    test::PageRig rig;
    ui::MainWindow window(rig.dm, &rig.prompts);
    window.showServicePages();
    QWidget *sheet = window.page(QStringLiteral("FutabaTabSheet"));
    window.pageControl().setCurrentWidget(sheet);
    window.show();
    auto *page = sheet->findChild<FutabaPage *>();
    ASSERT_NE(page, nullptr);
    auto *caption = page->findChild<QPushButton *>(QStringLiteral("WriteFutabaTestFramBtn"));
    auto *send = page->findChild<QPushButton *>(QStringLiteral("SendRS232Btn"));
    ASSERT_NE(caption, nullptr);
    ASSERT_NE(send, nullptr);
    test::settleLayouts();
    QHash<const QWidget *, QRect> before;
    for (const QWidget *w : page->findChildren<QWidget *>())
        before.insert(w, w->geometry());

    test::EventTally tally(page, {QEvent::LayoutRequest});
    QStringList captions;
    for (int i = 0; i < 5; ++i) {
        send->click();
        ASSERT_TRUE(test::waitUntil([&] { return !rig.dm.isBusy(); }, 5000));
        test::settleLayouts();
        captions << caption->text();
    }
    // Nothing inside the page asked the tab for a layout (the window may still hear of
    // the status bar beside it).
    EXPECT_TRUE(tally.parent.isEmpty()) << tally.parent.join(' ').toStdString();
    // The caption followed every command, and is whole at its widest.
    EXPECT_EQ(captions.removeDuplicates(), 0) << captions.join(' ').toStdString();
    EXPECT_EQ(caption->text(), page->script().caption());
    caption->setText(ScriptBuffer::captionFor(255));
    EXPECT_GE(caption->width(), caption->sizeHint().width());
    QStringList moved;
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        if (it.key()->geometry() != it.value())
            moved << it.key()->objectName();
    EXPECT_TRUE(moved.isEmpty()) << moved.join(' ').toStdString();
}

// The preview tells Qt it paints every pixel of its own (the group box behind it is not
// painted first): it must, at any size, or old pixels would show through.
TEST(FutabaPageQuiet, ThePreviewPaintsEveryPixelItClaims)
{
    FutabaRig r;
    r.click("FilFutabaBtn");
    ASSERT_TRUE(r.idle());
    auto *inPage = r.page.findChild<ModulePreview *>(QStringLiteral("FutabaPreview"));
    ASSERT_NE(inPage, nullptr);
    ASSERT_TRUE(inPage->testAttribute(Qt::WA_OpaquePaintEvent));
    // The same widget on its own, so no layout decides its size.
    auto preview = std::make_unique<ModulePreview>(r.page.preview());
    for (const QSize size : {QSize(600, 200), QSize(513, 237),
                             QSize(2 * ModuleModel::kWidth + 7, 2 * ModuleModel::kHeight)}) {
        preview->resize(size);
        ASSERT_EQ(preview->size(), size);
        QImage canvas(size, QImage::Format_ARGB32);
        canvas.fill(Qt::magenta);
        preview->render(&canvas, QPoint(), QRegion(), QWidget::RenderFlags());
        int untouched = 0, lit = 0;
        const QRgb litDot = preview->litColour().rgb();
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x) {
                untouched += canvas.pixel(x, y) == QColor(Qt::magenta).rgb();
                lit += canvas.pixel(x, y) == litDot;
            }
        EXPECT_EQ(untouched, 0) << size.width() << "x" << size.height();
        EXPECT_GT(lit, 0) << size.width() << "x" << size.height();
    }
}

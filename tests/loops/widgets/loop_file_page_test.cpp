#include "loops/widgets/loop_file_page.h"
#include "loops/widgets/loop_page.h"
#include "loops_rig.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace vardex;
using test::child;
using test::LoopsRig;

namespace {

void press(const QWidget &page, const char *name)
{
    QPushButton *b = child<QPushButton>(page, QLatin1String(name));
    ASSERT_NE(b, nullptr) << name;
    b->setEnabled(true); // the device description enables the transfer buttons
    b->click();
}

// Progress bar notices of the data module, in order.
struct ProgressLog {
    explicit ProgressLog(link::DataModule &dm)
    {
        QObject::connect(&dm, &link::DataModule::progressVisibilityChanged,
                         [this](bool visible, int maximum) {
                             shows.push_back({visible, maximum});
                         });
        QObject::connect(&dm, &link::DataModule::progressChanged,
                         [this](int position) { positions.push_back(position); });
    }
    std::vector<std::pair<bool, int>> shows;
    std::vector<int> positions;
};

} // namespace

TEST(LoopFilePage, SaveAsksAsTheOtherFilePagesDoAndSizesByFirmware)
{
    LoopsRig rig;
    loops::LoopFilePage page(rig.ctx);
    const QString path = test::tempPath(QStringLiteral("fw23.upr"));
    rig.image().config.firmwareVersion = 23;
    rig.prompts.saveAnswers.push_back(path);
    press(page, "SaveUprLoopConfigBtn");
    ASSERT_EQ(rig.prompts.saveRequests.size(), 1);
    const ui::FileDialogRequest &r = rig.prompts.saveRequests[0];
    EXPECT_EQ(r.title, QStringLiteral("Сохранить описание контуров управления"));
    EXPECT_TRUE(r.filter.startsWith(QStringLiteral("Файл  контуров управления *.upr|*.upr|")));
    EXPECT_EQ(r.filterIndex, 1);
    EXPECT_EQ(r.defaultSuffix, QStringLiteral("upr"));
    EXPECT_TRUE(r.fileName.isEmpty());
    EXPECT_EQ(test::readFile(path).size(), 2132);
    EXPECT_EQ(page.loopFileName(), QStringLiteral("fw23"));
    EXPECT_FALSE(child<QLabel>(page, "UpLoopConfigNameLabel")->isVisibleTo(&page));

    rig.image().config.firmwareVersion = 24;
    rig.prompts.saveAnswers.push_back(path);
    press(page, "SaveUprLoopConfigBtn");
    EXPECT_EQ(test::readFile(path).size(), 2444);
}

TEST(LoopFilePage, CancelledDialogsChangeNothing)
{
    LoopsRig rig;
    loops::LoopFilePage page(rig.ctx);
    rig.image().loop(1).contactUse = 9;
    press(page, "SaveUprLoopConfigBtn");
    press(page, "LoadUprLoopConfigBtn");
    ASSERT_EQ(rig.prompts.openRequests.size(), 1);
    EXPECT_EQ(rig.prompts.openRequests[0].title,
              QStringLiteral("Загрузить описание контуров управления"));
    EXPECT_EQ(rig.prompts.openRequests[0].filterIndex, 1);
    EXPECT_EQ(rig.image().loop(1).contactUse, 9);
    EXPECT_TRUE(rig.prompts.messages.isEmpty());
    EXPECT_TRUE(page.loopFileName().isEmpty());
}

TEST(LoopFilePage, LoadWithoutFirmwareReadsLoopsOnly)
{
    LoopsRig rig;
    rig.image().config.firmwareVersion = 0;
    rig.image().loopExt(1).dimmer = 42;
    loops::LoopFilePage page(rig.ctx);
    rig.prompts.openAnswers.push_back(QStringLiteral(VARDEX_TEST_DATA "/loops_fw24.upr"));
    press(page, "LoadUprLoopConfigBtn");
    EXPECT_EQ(rig.image().loop(26).contactUse, 26);
    EXPECT_EQ(rig.image().loopExt(1).dimmer, 42);
    EXPECT_EQ(page.loopFileName(), QStringLiteral("loops_fw24"));
}

// 2132 and 2444 bytes are the format's own sizes; any other is asked about first.
TEST(LoopFilePage, FileOfAnotherSizeIsLaidOverOnlyWhenTheEngineerAgrees)
{
    LoopsRig rig;
    rig.image().loop(1).contactUse = 0x42;
    loops::LoopFilePage page(rig.ctx);
    const QString path = test::tempPath(QStringLiteral("odd-size.upr"));
    test::writeFile(path,
                    test::readFile(QStringLiteral(VARDEX_TEST_DATA "/loops_fw24.upr")).left(1000));
    int changes = 0;
    QObject::connect(&page, &loops::LoopFilePage::loopsChanged, [&] { ++changes; });

    rig.prompts.openAnswers.push_back(path);
    rig.prompts.questionAnswers.push_back(ui::Prompts::Answer::No);
    press(page, "LoadUprLoopConfigBtn");
    ASSERT_EQ(rig.prompts.questions.size(), 1);
    const QString asked = rig.prompts.questions[0];
    EXPECT_TRUE(asked.contains("odd-size.upr")) << asked.toStdString();
    EXPECT_TRUE(asked.contains("1000"));
    EXPECT_TRUE(asked.contains("2132") && asked.contains("2444"));
    // Enter answers no: one key must not lay a stranger's bytes over the image.
    EXPECT_EQ(rig.prompts.questionDefaults, QList<ui::Prompts::Answer>{ui::Prompts::Answer::No});
    EXPECT_EQ(rig.image().loop(1).contactUse, 0x42);
    EXPECT_EQ(changes, 0);
    EXPECT_TRUE(page.loopFileName().isEmpty());

    rig.prompts.openAnswers.push_back(path);
    rig.prompts.questionAnswers.push_back(ui::Prompts::Answer::Yes);
    press(page, "LoadUprLoopConfigBtn");
    EXPECT_EQ(rig.image().loop(1).contactUse, 1); // loop 1 of the golden file
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(page.loopFileName(), QStringLiteral("odd-size"));
}

TEST(LoopFilePage, ClearThenSaveKeepsTheFillBytes)
{
    LoopsRig rig;
    rig.image().config.firmwareVersion = 30;
    for (int n = 1; n <= 26; ++n) {
        rig.image().loop(n).fill5 = static_cast<std::uint8_t>(n);
        rig.image().loop(n).temperMode[5] = 1;
        rig.image().loopExt(n).outputMask = 0xFFFFFFFF;
    }
    loops::LoopFilePage page(rig.ctx);
    press(page, "ClearUprLoopConfigBtn");
    const QString path = test::tempPath(QStringLiteral("cleared.upr"));
    rig.prompts.saveAnswers.push_back(path);
    press(page, "SaveUprLoopConfigBtn");
    const QByteArray bytes = test::readFile(path);
    ASSERT_EQ(bytes.size(), 2444);
    for (int i = 0; i < bytes.size(); ++i) {
        const int expected = (i < 2132 && i % 82 == 5) ? i / 82 + 1 : 0;
        ASSERT_EQ(static_cast<std::uint8_t>(bytes[i]), expected) << i;
    }
}

TEST(LoopFilePage, FailedFileOperationsSayWhichFileAndWhy)
{
    LoopsRig rig;
    loops::LoopFilePage page(rig.ctx);
    rig.image().loop(2).ttlInputUse = 0x11;
    const QString missing = test::tempPath(QStringLiteral("missing/loops.upr"));
    rig.prompts.saveAnswers.push_back(missing);
    press(page, "SaveUprLoopConfigBtn");
    rig.prompts.openAnswers.push_back(missing);
    press(page, "LoadUprLoopConfigBtn");
    ASSERT_EQ(rig.prompts.messages.size(), 2);
    for (const QString &m : rig.prompts.messages) {
        EXPECT_TRUE(m.contains(missing)) << m.toStdString();
        EXPECT_GT(m.size(), missing.size() + 25) << m.toStdString(); // carries the reason
    }
    EXPECT_EQ(rig.image().loop(2).ttlInputUse, 0x11);
    EXPECT_TRUE(page.loopFileName().isEmpty());
}

TEST(LoopFilePage, WriteAllStopsAtTheFirstFailedCheck)
{
    LoopsRig rig;
    ASSERT_TRUE(rig.connected);
    loops::LoopFilePage page(rig.ctx);
    ProgressLog progress(rig.dm);
    rig.transport.addFault(rig.id, {sim::Fault::Kind::CorruptLoop, 7, 3, 0});
    press(page, "WriteUprLoopConfigBtn");
    ASSERT_EQ(rig.prompts.messages.size(), 1);
    EXPECT_EQ(rig.prompts.messages[0],
              QStringLiteral("Ошибка верификации записи конфигурации контура 3"));
    std::vector<int> mains, exts;
    for (const auto &p : rig.received(7))
        (p[link::pos::Arg1] == 0 ? mains : exts).push_back(p[link::pos::Sub]);
    EXPECT_EQ(mains, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(exts, (std::vector<int>{1, 2}));
    ASSERT_FALSE(progress.shows.empty());
    EXPECT_EQ(progress.shows.front(), std::make_pair(true, 26));
    EXPECT_FALSE(progress.shows.back().first);
    EXPECT_EQ(progress.positions, (std::vector<int>{1, 2}));
}

TEST(LoopFilePage, ReadAllWithoutControllerEndsQuietly)
{
    LoopsRig rig;
    rig.transport.unplug(rig.id);
    ASSERT_TRUE(test::waitUntil([&] { return !rig.dm.hasDevice(); }));
    rig.image().loop(4).contactUse = 0x44;
    loops::LoopFilePage page(rig.ctx);
    ProgressLog progress(rig.dm);
    // Without a device nothing is sent and each wait ends at its time-out; end the
    // run early by closing, as the window would.
    QTimer::singleShot(1500, [&] { rig.dm.shutdown(); });
    press(page, "ReadUprLoopConfigBtn");
    EXPECT_TRUE(rig.prompts.messages.isEmpty());
    EXPECT_TRUE(progress.positions.empty());
    ASSERT_FALSE(progress.shows.empty());
    EXPECT_FALSE(progress.shows.back().first);
    EXPECT_EQ(rig.image().loop(4).contactUse, 0x44);
}

TEST(LoopFilePage, TransfersQueueBehindARunningOperation)
{
    LoopsRig rig;
    ASSERT_TRUE(rig.connected);
    loops::LoopFilePage page(rig.ctx);
    rig.dm.runOperation([&](link::OperationContext &) {
        press(page, "ReadUprLoopConfigBtn");
        press(page, "WriteUprLoopConfigBtn");
        EXPECT_TRUE(rig.transport.receivedRequests(rig.id).empty());
    });
    // Read all ran first, then write all (with its read-back): no write between the
    // reads of the first, no read between the writes of the second.
    const auto all = rig.transport.receivedRequests(rig.id);
    std::vector<int> codes;
    for (const auto &p : all)
        if (p[link::pos::Code] == 6 || p[link::pos::Code] == 7)
            codes.push_back(p[link::pos::Code]);
    ASSERT_EQ(codes.size(), 156u);
    EXPECT_TRUE(std::all_of(codes.begin(), codes.begin() + 52, [](int c) { return c == 6; }));
    EXPECT_TRUE(std::all_of(codes.begin() + 52, codes.begin() + 104, [](int c) { return c == 7; }));
    EXPECT_TRUE(std::all_of(codes.begin() + 104, codes.end(), [](int c) { return c == 6; }));
    EXPECT_TRUE(rig.prompts.messages.isEmpty());
}

TEST(LoopCycle, EditWriteClearReadAllFindsTheEdit)
{
    LoopsRig rig;
    ASSERT_TRUE(rig.connected);
    rig.image().config.analogA[1] = 0.5f;
    loops::LoopPage loopPage(rig.ctx);
    loops::LoopFilePage filePage(rig.ctx);

    // Edit loop 10 on the page and write it.
    loopPage.setCurrentLoop(10);
    loopPage.showUprLoop(10, QStringLiteral("Ключ_2"));
    child<QCheckBox>(loopPage, "cbDigitInputUpr6")->click();
    child<QCheckBox>(loopPage, "cbProgUpr1")->click();
    test::typeAndCommit(child<QDoubleSpinBox>(loopPage, "AnalogLevelLoEdit2"),
                        QStringLiteral("100.75"));
    child<QPushButton>(loopPage, "UprLoopConfigExtBtn")->click();
    test::typeAndCommit(child<QDoubleSpinBox>(loopPage, "UprLoopConfigExtTimerOffEdit"),
                        QStringLiteral("35"));
    child<QPushButton>(loopPage, "WriteCurentUprLoopConfigBtn")->click();
    ASSERT_TRUE(rig.prompts.messages.isEmpty()) << rig.prompts.messages.join('|').toStdString();
    const link::UprLoopConfig written = rig.image().loop(10);
    EXPECT_EQ(written.analogLevelLo[1], 201);

    // Forget everything, then read all loops back from the controller.
    loopPage.setCurrentLoop(0);
    press(filePage, "ClearUprLoopConfigBtn");
    EXPECT_EQ(rig.image().loop(10).contactUse, 0);
    press(filePage, "ReadUprLoopConfigBtn");
    EXPECT_EQ(rig.image().loop(10).encode(), written.encode());
    EXPECT_EQ(rig.image().loopExt(10).timerOff, 35);

    loopPage.setCurrentLoop(10);
    loopPage.showUprLoop(10, QStringLiteral("Ключ_2"));
    EXPECT_TRUE(child<QCheckBox>(loopPage, "cbDigitInputUpr6")->isChecked());
    EXPECT_TRUE(child<QCheckBox>(loopPage, "cbProgUpr1")->isChecked());
    EXPECT_EQ(child<QDoubleSpinBox>(loopPage, "AnalogLevelLoEdit2")->text(),
              QStringLiteral("100.5"));
}

TEST(LoopFilePage, WriteAllReadsBackAndDiffListsWithoutWriting)
{
    LoopsRig rig;
    loops::LoopFilePage page(rig.ctx);
    press(page, "ReadUprLoopConfigBtn");
    rig.image().loopExt(13).timerOn = 77;
    rig.image().loop(5).contactUse = 0x81;

    press(page, "DiffUprLoopConfigBtn");
    ASSERT_EQ(rig.prompts.reports.size(), 1);
    const QString report = rig.prompts.reports[0];
    EXPECT_TRUE(report.contains("Контур 13 / Дополнительно / Логика выхода / Длител."))
        << report.toStdString();
    EXPECT_TRUE(report.contains("Контур 5 / Концевики / Вход")) << report.toStdString();
    EXPECT_EQ(rig.requestCount(7), 0); // nothing written

    press(page, "WriteUprLoopConfigBtn");
    EXPECT_EQ(rig.statusBar.panelText(5), "записано и проверено");
    std::array<std::uint8_t, 12> ext{};
    rig.transport.withFirmware(rig.id, [&](sim::Firmware &f) { ext = f.loopExt(13); });
    EXPECT_EQ(ext[2], 77);
}

#include "service/widgets/watchdog_page.h"

#include "link/protocol.h"
#include "sim/memory.h"
#include "support/event_tally.h"
#include "support/layout_check.h"
#include "support/page_rig.h"
#include "support/scripted_echo.h"
#include "ui/main_window.h"
#include "work/description_transfer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>

#include <gtest/gtest.h>

using namespace vardex;
using test::ScriptedEcho;

namespace {

link::DescriptionResult described(bool done = true)
{
    link::DescriptionResult r;
    r.described = done;
    return r;
}

struct WatchDogRig : test::PageRig {
    WatchDogRig()
    {
        auto scripted = std::make_unique<ScriptedEcho>();
        echo = scripted.get();
        page = std::make_unique<service::WatchDogPage>(ctx, std::move(scripted));
        page->onConnectionChanged(true);
        page->onDescriptionRead(described());
        transport.clearReceivedRequests(id);
    }
    template <typename T> T *find(const char *name) const
    {
        return page->findChild<T *>(QLatin1String(name));
    }
    QString text(const char *name) const { return find<QLabel>(name)->text(); }
    std::vector<std::uint8_t> relayTasksReceived() const
    {
        std::vector<std::uint8_t> out;
        for (const auto &p : received(link::protocol::code::OutputTask))
            out.push_back(p[8]);
        return out;
    }

    ScriptedEcho *echo = nullptr;
    std::unique_ptr<service::WatchDogPage> page;
};

// The main window shown with its watchdog page in view, as the engineer sees it.
struct WatchDogInView {
    test::PageRig rig;
    ui::MainWindow window{rig.dm, &rig.prompts};
    QWidget *sheet = nullptr;
    service::WatchDogPage *page = nullptr;

    WatchDogInView()
    {
        window.showServicePages();
        sheet = window.page(QStringLiteral("WatchDogTabSheet"));
        window.pageControl().setCurrentWidget(sheet);
        window.show();
        page = window.watchDogPage();
    }
};

} // namespace

TEST(WatchDogPageControls, StartFromTheirDefaultsWithNoHostThatCouldBePinged)
{
    WatchDogRig r;
    auto *host = r.find<QLineEdit>("HostEdit");
    EXPECT_TRUE(host->text().isEmpty());
    EXPECT_TRUE(host->placeholderText().contains(QStringLiteral("192.0.2.")));
    struct Spin {
        const char *name;
        int min, max, value;
    };
    for (const Spin &s :
         {Spin{"PingTimeEdit", 100, 5000, 500}, Spin{"PingAskTimeEdit", 100, 10000, 3000},
          Spin{"PingUprTimeEdit", 100, 10000, 1000}}) {
        auto *spin = r.find<QSpinBox>(s.name);
        ASSERT_NE(spin, nullptr) << s.name;
        EXPECT_EQ(spin->minimum(), s.min) << s.name;
        EXPECT_EQ(spin->maximum(), s.max) << s.name;
        EXPECT_EQ(spin->singleStep(), 100) << s.name;
        EXPECT_EQ(spin->value(), s.value) << s.name;
    }
    auto *combo = r.find<QComboBox>("PingOutputComboBox");
    ASSERT_EQ(combo->count(), 16);
    EXPECT_TRUE(combo->isEditable());
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_EQ(combo->itemText(4), QStringLiteral("Нижний ключ_1"));
    EXPECT_EQ(combo->itemText(13), QStringLiteral("Реле_6"));
    EXPECT_TRUE(combo->itemText(14).isEmpty());
    EXPECT_FALSE(r.find<QCheckBox>("cbPingWatchDogStart")->isChecked());
    EXPECT_EQ(r.find<QCheckBox>("cbPingWatchDogStart")->text(),
              QStringLiteral("Циклический опрос"));
    EXPECT_TRUE(r.find<QLabel>("PingErrorLabel")->isHidden());
    EXPECT_EQ(r.text("PingErrorLabel"), QStringLiteral("Error"));
    QTimer *timer = r.find<QTimer>("PingTimer");
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->interval(), 1000);
    EXPECT_FALSE(timer->isActive());
    EXPECT_TRUE(r.find<QPushButton>("ClearBlackBoxBtn")->isHidden());
    for (const char *hidden : {"stProgUpDate", "stConfigUpdate", "stUprUpdate"})
        EXPECT_TRUE(r.find<QLabel>(hidden)->isHidden()) << hidden;
    EXPECT_FALSE(r.find<QLabel>("stBatWorkSum")->isHidden());

    // The rules against false and endless cycling start switched off.
    EXPECT_TRUE(r.find<QLineEdit>("HostEdit2")->text().isEmpty());
    for (const Spin &s : {Spin{"PingArmEdit", 0, 100, 0}, Spin{"PingMaxPulsesEdit", 0, 100, 0},
                          Spin{"PingPerEdit", 1, 1440, 60}, Spin{"PingBackoffEdit", 0, 86400, 0}}) {
        auto *spin = r.find<QSpinBox>(s.name);
        ASSERT_NE(spin, nullptr) << s.name;
        EXPECT_EQ(std::make_tuple(spin->minimum(), spin->maximum(), spin->value()),
                  std::make_tuple(s.min, s.max, s.value))
            << s.name;
    }
    EXPECT_EQ(r.text("PingStateLabel"), QStringLiteral("Включён"));
    EXPECT_FALSE(r.find<QPushButton>("PingRearmBtn")->isEnabled());
}

TEST(WatchDogPageActuation, PulseReachesTheControllerThroughTheQueueAndEndsItAgain)
{
    WatchDogRig r;
    r.find<QLineEdit>("HostEdit")->setText(QStringLiteral("192.0.2.7"));
    r.find<QComboBox>("PingOutputComboBox")->setCurrentIndex(8);
    r.find<QCheckBox>("cbPingWatchDogStart")->click();
    EXPECT_TRUE(r.page->pingTimer()->isActive());

    // Another exchange holds the link when the watchdog fires.
    bool opDone = false;
    r.dm.runOperation([&](link::OperationContext &ctx) {
        ctx.send(link::protocol::readClock());
        ctx.waitReply(500);
        ctx.pause(100);
        ctx.send(link::protocol::readClock());
        ctx.waitReply(500);
        opDone = true;
    });
    r.page->watchdog().timerTick();
    ASSERT_EQ(r.echo->requests.size(), 1u);
    EXPECT_EQ(r.echo->requests[0].host, QStringLiteral("192.0.2.7"));
    EXPECT_EQ(r.echo->requests[0].timeoutMs, 500);
    r.echo->reply(ScriptedEcho::timedOut());
    ASSERT_TRUE(test::waitUntil([&] { return r.relayTasksReceived().size() == 1; }));
    EXPECT_TRUE(opDone);
    const auto all = r.transport.receivedRequests(r.id);
    // Both clock reads first (nothing interleaves), then the switch reads the outputs and
    // the loop flags before it writes.
    ASSERT_EQ(all.size(), 5u);
    EXPECT_EQ(all[2][link::pos::Code], link::protocol::code::State);
    EXPECT_EQ(all[3][link::pos::Code], link::protocol::code::State);
    EXPECT_EQ(all[4][link::pos::Code], link::protocol::code::OutputTask);
    EXPECT_EQ(all[4][7], 0x00);
    EXPECT_EQ(all[4][8], 0x01);
    EXPECT_EQ(r.page->pingTimer()->interval(), 1000);
    EXPECT_EQ(r.page->pingTimer()->property("tag").toInt(), 1);

    r.page->watchdog().timerTick(); // the pulse has lasted its time
    ASSERT_TRUE(test::waitUntil([&] { return r.relayTasksReceived().size() == 2; }));
    EXPECT_EQ(r.relayTasksReceived()[1], 0x00);
    EXPECT_EQ(r.page->pingTimer()->interval(), 3000);
    EXPECT_EQ(r.page->pingTimer()->property("tag").toInt(), 0);
    EXPECT_GE(r.find<QListWidget>("WatchDogLogList")->count(), 3);
}

TEST(WatchDogPageActuation, APulseHeldUpBehindAnotherExchangeKeepsItsLengthAtTheController)
{
    WatchDogRig r;
    r.find<QLineEdit>("HostEdit")->setText(QStringLiteral("192.0.2.7"));
    r.find<QComboBox>("PingOutputComboBox")->setCurrentIndex(8);
    r.find<QSpinBox>("PingUprTimeEdit")->setValue(300);
    r.find<QCheckBox>("cbPingWatchDogStart")->click();
    std::vector<qint64> taskSentNs;
    r.dm.setTraceSink([&](const link::TraceEntry &e) {
        if (e.direction == link::TraceEntry::Direction::Sent &&
            e.payload[link::pos::Code] == link::protocol::code::OutputTask)
            taskSentNs.push_back(e.nanoseconds);
    });

    // The ping fails while an exchange without steps holds the link for 500 ms: the
    // switch-on waits for its end, and the pulse is timed from the write.
    r.page->watchdog().timerTick();
    QTimer::singleShot(50, [&] { r.echo->reply(ScriptedEcho::timedOut()); });
    r.dm.runOperation([](link::OperationContext &ctx) { ctx.pause(500); });
    ASSERT_TRUE(test::waitUntil([&] { return r.relayTasksReceived().size() == 2; }));
    ASSERT_EQ(taskSentNs.size(), 2u);
    EXPECT_EQ(r.relayTasksReceived()[0], 0x01);
    EXPECT_EQ(r.relayTasksReceived()[1], 0x00);
    EXPECT_GE(taskSentNs[1] - taskSentNs[0], 300'000'000)
        << "the relay was on for only " << (taskSentNs[1] - taskSentNs[0]) / 1e6 << " ms";
    bool delayLogged = false;
    for (const QString &line : r.page->watchdog().log().lines())
        delayLogged |= line.contains(QStringLiteral("импульс задержан на"));
    EXPECT_TRUE(delayLogged);
}

TEST(WatchDogPageActuation, AnUnplugDuringThePulseOwesTheSwitchOffUntilTheControllerIsBack)
{
    WatchDogRig r;
    r.find<QLineEdit>("HostEdit")->setText(QStringLiteral("192.0.2.7"));
    r.find<QComboBox>("PingOutputComboBox")->setCurrentIndex(8);
    r.page->watchdog().manualPing();
    r.echo->reply(ScriptedEcho::timedOut());
    ASSERT_TRUE(test::waitUntil([&] { return r.relayTasksReceived().size() == 1; }));
    r.transport.unplug(r.id);
    ASSERT_TRUE(test::waitUntil([&] { return !r.dm.hasDevice(); }));
    r.page->onConnectionChanged(false);
    r.page->watchdog().timerTick(); // the pulse's time is up
    EXPECT_TRUE(r.page->watchdog().switchOffOwed());
    auto *log = r.find<QListWidget>("WatchDogLogList");
    EXPECT_TRUE(log->item(log->count() - 1)->text().contains(QStringLiteral("НЕ отправлено")));

    ASSERT_TRUE(r.plug());
    r.page->onConnectionChanged(true);
    ASSERT_TRUE(test::waitUntil([&] { return r.relayTasksReceived().size() == 2; }));
    EXPECT_EQ(r.relayTasksReceived().back(), 0x00);
    EXPECT_FALSE(r.page->watchdog().holdsOutputOn());
}

TEST(WatchDogPageSettings, MissesAndHoldOffStartAtTheirDefaultsReachTheWatchdogAndTheSavedLog)
{
    WatchDogRig r;
    auto *misses = r.find<QSpinBox>("PingMissesEdit");
    auto *holdOff = r.find<QSpinBox>("PingHoldOffEdit");
    ASSERT_NE(misses, nullptr);
    ASSERT_NE(holdOff, nullptr);
    EXPECT_EQ(misses->value(), 1);
    EXPECT_EQ(holdOff->value(), 0);
    misses->setValue(3);
    holdOff->setValue(120);
    r.find<QSpinBox>("PingBackoffEdit")->setValue(960);
    r.find<QSpinBox>("PingArmEdit")->setValue(2);
    r.find<QSpinBox>("PingMaxPulsesEdit")->setValue(3);
    r.find<QLineEdit>("HostEdit2")->setText(QStringLiteral(" 192.0.2.1 "));
    r.find<QLineEdit>("HostEdit")->setText(QStringLiteral("192.0.2.7"));
    EXPECT_EQ(r.page->inputs().missesInRow, 3);
    EXPECT_EQ(r.page->inputs().holdOffS, 120);
    EXPECT_EQ(r.page->inputs().moreHosts, QStringList{QStringLiteral("192.0.2.1")});
    r.find<QCheckBox>("cbPingWatchDogStart")->click();
    const QString path = test::tempPath(QStringLiteral("settings-log.txt"));
    r.prompts.saveAnswers.push_back(path);
    r.find<QPushButton>("SaveWatchDogLogBtn")->click();
    const QString saved = QString::fromUtf8(test::readFile(path));
    EXPECT_TRUE(saved.startsWith(QStringLiteral("# Сторож: узел 192.0.2.7, 192.0.2.1")))
        << saved.toStdString();
    EXPECT_TRUE(saved.contains(QStringLiteral("удваивается до 960 с, ответов до включения 2, "
                                              "импульсов не более 3 за 60 мин")));
    EXPECT_TRUE(saved.contains(QStringLiteral("наблюдение за 192.0.2.7, 192.0.2.1 включено")));
    EXPECT_TRUE(
        saved.contains(QStringLiteral("пропусков подряд 3, пауза после срабатывания 120 с")));
    EXPECT_TRUE(saved.contains(QStringLiteral("пропусков подряд до срабатывания: 3")));
}

TEST(WatchDogPagePolicy, TwoSilentHostsPulseOnceThenTheCapStandsDownUntilTheButton)
{
    WatchDogRig r;
    r.find<QLineEdit>("HostEdit")->setText(QStringLiteral("192.0.2.7"));
    r.find<QLineEdit>("HostEdit2")->setText(QStringLiteral("192.0.2.8"));
    r.find<QSpinBox>("PingMaxPulsesEdit")->setValue(1);
    r.find<QSpinBox>("PingPerEdit")->setValue(30);
    auto *ping = r.find<QPushButton>("SendPingBtn");
    auto silentRound = [&] {
        ping->click();
        ASSERT_TRUE(r.echo->reply(ScriptedEcho::answered()));
        ASSERT_TRUE(r.echo->reply(ScriptedEcho::timedOut()));
        ping->click();
        ASSERT_TRUE(r.echo->reply(ScriptedEcho::timedOut()));
        ASSERT_TRUE(r.echo->reply(ScriptedEcho::timedOut()));
    };
    silentRound();
    ASSERT_TRUE(test::waitUntil([&] { return r.relayTasksReceived().size() == 1; }));
    r.page->watchdog().timerTick(); // the pulse ends
    ASSERT_TRUE(test::waitUntil([&] { return r.relayTasksReceived().size() == 2; }));
    EXPECT_EQ(r.text("PingStateLabel"), QStringLiteral("Включён; импульсов за 30 мин: 1 из 1"));

    silentRound();
    EXPECT_EQ(r.echo->requests.size(), 8u);
    EXPECT_EQ(r.text("PingStateLabel"),
              QStringLiteral("Остановлен: 1 импульс за 30 мин; ответов до включения: 0 из 1"));
    auto *rearm = r.find<QPushButton>("PingRearmBtn");
    EXPECT_TRUE(rearm->isEnabled());
    const QListWidget *log = r.find<QListWidget>("WatchDogLogList");
    EXPECT_TRUE(log->item(log->count() - 1)
                    ->text()
                    .contains(QStringLiteral(
                        "192.0.2.7, 192.0.2.8 не ответили — остановлен: 1 импульс за 30 мин")));
    rearm->click();
    EXPECT_EQ(r.text("PingStateLabel"), QStringLiteral("Включён; импульсов за 30 мин: 0 из 1"));
    EXPECT_FALSE(rearm->isEnabled());
    EXPECT_EQ(r.relayTasksReceived().size(), 2u);
}

// The task sent is the outputs as the controller reported them, none changed: a relay
// ticked on the Work page but never sent is not switched by the watchdog.
TEST(WatchDogPageActuation, TextTypedIntoTheListSelectsNoOutputButTheTaskIsSent)
{
    WatchDogRig r;
    r.image().outputTask.relaysTask = 0x04;
    r.find<QComboBox>("PingOutputComboBox")->setEditText(QStringLiteral("Реле_9"));
    r.find<QPushButton>("SendPingBtn")->click();
    EXPECT_FALSE(r.find<QPushButton>("SendPingBtn")->isEnabled());
    r.echo->reply(ScriptedEcho::timedOut());
    EXPECT_TRUE(r.find<QPushButton>("SendPingBtn")->isEnabled());
    ASSERT_TRUE(test::waitUntil([&] { return r.relayTasksReceived().size() == 1; }));
    EXPECT_EQ(r.relayTasksReceived()[0], 0x00);
    EXPECT_EQ(r.image().outputTask.switchesTask, 0x00);
}

TEST(WatchDogPageEcho, FacilityErrorIsShownOnThePageAndTheHintLineNotInABox)
{
    WatchDogRig r;
    r.find<QCheckBox>("cbPingWatchDogStart")->click();
    const QString why = QStringLiteral("Узел «nohost.invalid» не найден");
    for (int i = 0; i < 2; ++i) {
        r.page->watchdog().timerTick();
        r.echo->reply(service::EchoResult::failed(why));
    }
    EXPECT_EQ(r.text("stPingAnser"), why);
    EXPECT_EQ(r.statusBar.panelText(5), why);
    EXPECT_TRUE(r.prompts.messages.isEmpty());
    EXPECT_TRUE(r.page->pingTimer()->isActive());
    r.page->watchdog().timerTick();
    r.echo->reply(ScriptedEcho::answered());
    EXPECT_TRUE(r.statusBar.panelText(5).isEmpty());
    EXPECT_TRUE(r.text("stPingAnser").startsWith(QStringLiteral("| 40 байт")));
}

TEST(WatchDogPageLog, SavedToTheFileTheOperatorChooses)
{
    WatchDogRig r;
    r.find<QCheckBox>("cbPingWatchDogStart")->click();
    r.find<QCheckBox>("cbPingWatchDogStart")->click();
    const QString path = test::tempPath(QStringLiteral("decisions.txt"));
    r.prompts.saveAnswers.push_back(path);
    r.find<QPushButton>("SaveWatchDogLogBtn")->click();
    const QString saved = QString::fromUtf8(test::readFile(path));
    EXPECT_EQ(saved.count(QLatin1Char('\n')), 3); // the settings, then the two decisions
    EXPECT_TRUE(saved.contains(QStringLiteral("наблюдение выключено — Верхний ключ_1 выкл.")));
}

TEST(BlackBoxPage, ShowsTheControllersCountersWithHalvedBatteryTimes)
{
    WatchDogRig r;
    r.transport.withFirmware(r.id, [](sim::Firmware &fw) {
        auto box = fw.memory().bytes().subspan(sim::Memory::kBlackBox, 58);
        box[27] = 0x80; // power-on count with the top bit set
    });
    r.find<QPushButton>("ReadBlackBoxBtn")->click();
    ASSERT_TRUE(test::waitUntil([&] { return !r.text("stPowerOn").isEmpty(); }));
    const auto reads = r.received(link::protocol::code::MemoryRead);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0][link::pos::Sub], 0x00);
    EXPECT_EQ(reads[0][link::pos::Arg1], 0x1C);
    EXPECT_EQ(reads[0][link::pos::Len], 58);
    EXPECT_EQ(r.text("stProgUpDate"), QStringLiteral("3 3-5-11 14:7:9"));
    EXPECT_EQ(r.text("stPowerOn"), QStringLiteral("2147483800")); // 0x80000000 + 152
    EXPECT_EQ(r.text("stBatOn"), QStringLiteral("9 1-3-12 3:15:0"));
    EXPECT_EQ(r.text("stBatOff"), QStringLiteral("8"));
    EXPECT_EQ(r.text("stBatWorkLast"), QStringLiteral("3")); // 7 halved
    EXPECT_EQ(r.text("stBatWorkSum"), QStringLiteral("617"));
}

TEST(BlackBoxPage, ErrorReplyAndLateReplyLeaveTheTextsAsTheyWere)
{
    WatchDogRig r;
    r.find<QPushButton>("ReadBlackBoxBtn")->click();
    ASSERT_TRUE(test::waitUntil([&] { return r.text("stBatOff") == QStringLiteral("8"); }));
    r.transport.withFirmware(
        r.id, [](sim::Firmware &fw) { fw.memory().bytes()[sim::Memory::kBlackBox + 32] = 99; });

    sim::Fault err;
    err.kind = sim::Fault::Kind::ErrorReply;
    err.code = link::protocol::code::MemoryRead;
    r.transport.addFault(r.id, err);
    r.find<QPushButton>("ReadBlackBoxBtn")->click();
    ASSERT_TRUE(test::waitUntil([&] { return !r.dm.isBusy(); }));
    EXPECT_EQ(r.text("stBatOff"), QStringLiteral("8"));

    sim::Fault late;
    late.kind = sim::Fault::Kind::Delay;
    late.code = link::protocol::code::MemoryRead;
    late.delayMs = 250;
    r.transport.addFault(r.id, late);
    r.find<QPushButton>("ReadBlackBoxBtn")->click();
    test::spin(500); // the reply has come by now, after its 100 ms
    EXPECT_EQ(r.text("stBatOff"), QStringLiteral("8"));
}

TEST(BlackBoxPage, ButtonWaitsForADescriptionAndGoesWithTheController)
{
    test::PageRig rig;
    service::WatchDogPage page(rig.ctx, std::make_unique<ScriptedEcho>());
    auto *button = page.findChild<QPushButton *>(QStringLiteral("ReadBlackBoxBtn"));
    page.onConnectionChanged(true);
    EXPECT_FALSE(button->isEnabled());
    page.onDescriptionRead(described(false)); // stopped before the loops
    EXPECT_FALSE(button->isEnabled());
    page.onDescriptionRead(described());
    EXPECT_TRUE(button->isEnabled());
    page.onConnectionChanged(false);
    EXPECT_FALSE(button->isEnabled());
}

TEST(WatchDogPageWindow, TabIsHiddenAtStartAndShownForServiceWithThePageAndItsTimer)
{
    test::PageRig rig;
    ui::MainWindow window(rig.dm, &rig.prompts);
    EXPECT_FALSE(window.isTabShown(QStringLiteral("WatchDogTabSheet")));
    window.showServicePages();
    EXPECT_TRUE(window.isTabShown(QStringLiteral("WatchDogTabSheet")));
    QWidget *sheet = window.page(QStringLiteral("WatchDogTabSheet"));
    ASSERT_NE(sheet, nullptr);
    EXPECT_NE(sheet->findChild<QLineEdit *>(QStringLiteral("HostEdit")), nullptr);
    EXPECT_EQ(window.findChildren<QTimer *>(QStringLiteral("PingTimer")).size(), 1);
    EXPECT_EQ(window.pageControl().tabText(window.pageControl().indexOf(sheet)),
              QStringLiteral("LAN_сторож"));
}

TEST(WatchDogPageWindow, ClosingTheWindowMidPulseSwitchesTheOutputOffAtTheController)
{
    test::PageRig rig;
    ui::MainWindow window(rig.dm, &rig.prompts);
    window.showServicePages();
    service::WatchDogPage *page = window.watchDogPage();
    auto scripted = std::make_unique<ScriptedEcho>();
    ScriptedEcho *echo = scripted.get();
    page->setEcho(std::move(scripted));
    page->findChild<QLineEdit *>(QStringLiteral("HostEdit"))->setText(QStringLiteral("192.0.2.7"));
    page->findChild<QComboBox *>(QStringLiteral("PingOutputComboBox"))->setCurrentIndex(8);
    window.show();
    page->watchdog().manualPing();
    ASSERT_TRUE(echo->reply(ScriptedEcho::timedOut()));
    ASSERT_TRUE(
        test::waitUntil([&] { return !rig.received(link::protocol::code::OutputTask).empty(); }));
    ASSERT_EQ(rig.received(link::protocol::code::OutputTask).back()[8], 0x01);

    window.close();
    const auto tasks = rig.received(link::protocol::code::OutputTask);
    ASSERT_EQ(tasks.size(), 2u);
    EXPECT_EQ(tasks.back()[8], 0x00);
    EXPECT_FALSE(page->pingTimer()->isActive());
}

TEST(WatchDogPageLayout, NothingClippedInTheWindowWithTextsFilled)
{
    WatchDogInView view;
    QWidget *sheet = view.sheet;
    service::WatchDogPage *page = view.page;
    page->showReply(QStringLiteral("| 1024 байт от 255.255.255.255: ТТЛ=255 время=5000 мс"));
    for (const char *name : {"stPowerOn", "stBatOn", "stBatOff", "stBatWorkLast", "stBatWorkSum"})
        page->findChild<QLabel *>(QLatin1String(name))
            ->setText(QStringLiteral("4294967295 255-255-255 255:255:255"));
    // The longest state the watchdog can be in.
    page->findChild<QLabel *>(QStringLiteral("PingStateLabel"))
        ->setText(QStringLiteral(
            "Остановлен: 100 импульсов за 1440 мин; ответов до включения: 99 из 100"));
    sheet->layout()->activate();
    test::spin(50);
    test::LayoutRules rules;
    rules.fullCaptions = true;
    const test::LayoutReport layout = test::checkLayout(sheet, rules);
    EXPECT_TRUE(layout.ok()) << layout.text().toStdString();
    EXPECT_GT(layout.checked, 20);
    const QString shot = qEnvironmentVariable("VARDEX_SCREENSHOT");
    if (!shot.isEmpty()) {
        EXPECT_TRUE(view.window.grab().save(shot));
    }
}

// Every ping empties the reply field and fills it again, each text of its own length: no
// row of the page moves, and the tab and the window are not asked for a new layout.
TEST(WatchDogPageQuiet, RepliesComingAndGoingMoveNothingAndAskTheWindowForNoLayout)
{
    WatchDogInView view;
    service::WatchDogPage *page = view.page;
    auto scripted = std::make_unique<ScriptedEcho>();
    ScriptedEcho *echo = scripted.get();
    page->setEcho(std::move(scripted));
    page->findChild<QLineEdit *>(QStringLiteral("HostEdit"))->setText(QStringLiteral("127.0.0.1"));
    test::settleLayouts();
    QHash<const QWidget *, QRect> before;
    for (const QWidget *w : page->findChildren<QWidget *>())
        before.insert(w, w->geometry());

    auto *field = page->findChild<QLabel *>(QStringLiteral("stPingAnser"));
    ASSERT_NE(field, nullptr);
    const service::EchoResult replies[] = {
        ScriptedEcho::answered(),
        ScriptedEcho::answered(4999, 255),
        ScriptedEcho::withStatus(service::EchoStatus::Unreachable),
        service::EchoResult::failed(QStringLiteral(
            "Эхо-запрос ICMP недоступен: нет прав на сокет ICMP (net.ipv4.ping_group_range)")),
        ScriptedEcho::answered(),
    };
    test::EventTally tally(page, {QEvent::LayoutRequest});
    for (const service::EchoResult &r : replies) {
        page->watchdog().manualPing();
        test::settleLayouts();
        EXPECT_TRUE(field->text().isEmpty());
        ASSERT_TRUE(echo->reply(r));
        test::settleLayouts();
        EXPECT_FALSE(field->text().isEmpty());
        // A text longer than the field's two lines can still be read whole.
        EXPECT_EQ(field->toolTip(), field->text());
    }
    // (The window itself also hears of the hint line's facility error, beside the page.)
    EXPECT_TRUE(tally.parent.isEmpty()) << tally.parent.join(' ').toStdString();
    // The log list's own scroll bars come and go with the lines it holds.
    const QWidget *logList = page->findChild<QWidget *>(QStringLiteral("WatchDogLogList"));
    QStringList moved;
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        if (!logList->isAncestorOf(it.key()) && it.key()->geometry() != it.value())
            moved << it.key()->objectName();
    EXPECT_TRUE(moved.isEmpty()) << moved.join(' ').toStdString();
}

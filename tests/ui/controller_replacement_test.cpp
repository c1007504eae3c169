// A second controller plugged in while the first is current takes its place without a
// removal in between. For the window that is a new connection: nothing it learned from
// the first controller (its loops, its configuration, the sweep's knowledge) may be
// written into the second.
#include "description_rig.h"
#include "link/protocol.h"
#include "loops/widgets/loop_page.h"
#include "service/widgets/watchdog_page.h"
#include "support/scripted_echo.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTimer>

#include <gtest/gtest.h>

using namespace vardex;
namespace protocol = link::protocol;

namespace {

struct ControllerMemory {
    std::vector<std::array<std::uint8_t, 12>> loopExts;
    std::vector<sim::LoopRecord> loops;
    std::vector<std::vector<std::uint8_t>> configPages;

    static ControllerMemory of(sim::SimTransport &transport, const QString &id)
    {
        ControllerMemory m;
        transport.withFirmware(id, [&](sim::Firmware &f) {
            for (int n = 1; n <= link::kLoopCount; ++n) {
                m.loopExts.push_back(f.loopExt(n));
                m.loops.push_back(f.loop(n));
            }
            for (int p = 0; p < sim::ConfigPages::kPages; ++p) {
                const auto page = f.config().page(p);
                m.configPages.emplace_back(page.begin(), page.end());
            }
        });
        return m;
    }
};

} // namespace

TEST(ControllerReplacement, NothingLearnedFromTheFirstIsWrittenToTheSecond)
{
    test::DescriptionRig r; // controller A
    ASSERT_TRUE(r.connected);
    r.window->showServicePages();
    // A's loop 13 has timers, logic and outputs of its own.
    const std::array<std::uint8_t, 12> extA = {0x34, 0x12, 0x78, 0x56, 3, 2,
                                               1,    0,    0xFF, 0xFF, 0, 0};
    r.transport.withFirmware(r.id, [&](sim::Firmware &f) {
        f.setLoopExt(13, extA);
        f.config().page(1)[0] ^= 0x5A; // a configuration of its own as well
    });
    r.describe();
    r.window->loopPage()->setCurrentLoop(13);
    r.window->loopPage()->showUprLoop(13, QString());
    // The backlight sweep writes loop 13 (box 5) on every tick: seen on A first.
    r.box(QStringLiteral("PWMSwitchCheckBox5"))->setChecked(true);
    ASSERT_TRUE(
        test::waitUntil([&] { return !r.received(protocol::code::WriteLoop, 1).empty(); }, 3000));

    sim::SimDeviceOptions options;
    options.firmware = sim::fullControllerFirmware24();
    options.realTime = false;
    const QString b = r.transport.addDevice(std::move(options));
    const ControllerMemory before = ControllerMemory::of(r.transport, b);
    r.transport.plug(b);
    ASSERT_TRUE(test::waitUntil([&] { return r.dm.currentDevice().id == b; }, 2000));

    // The timers go on, and the engineer presses every button that writes.
    for (const char *name :
         {"WriteCfgBtn", "WriteUprLoopConfigBtn", "WriteCurentUprLoopConfigBtn", "WorkTaskBtn"})
        r.button(QLatin1String(name))->click();
    test::spin(3 * 500 + 200); // three sweep ticks
    ASSERT_TRUE(test::waitUntil([&] { return !r.dm.isBusy(); }, 5000));

    for (const link::Payload &p : r.transport.receivedRequests(b)) {
        const int code = p[link::pos::Code];
        EXPECT_TRUE(code != protocol::code::WriteLoop && code != protocol::code::WriteConfigPage &&
                    code != protocol::code::MemoryWrite && code != protocol::code::OutputTask)
            << "request " << code << "/" << int(p[link::pos::Sub]) << " reached the new controller";
    }
    const ControllerMemory after = ControllerMemory::of(r.transport, b);
    EXPECT_EQ(after.loopExts, before.loopExts);
    EXPECT_EQ(after.loops, before.loops);
    EXPECT_EQ(after.configPages, before.configPages);
    // The sweep waits for the new controller's description, as after a removal.
    EXPECT_FALSE(r.widget<QLabel>(QStringLiteral("PWMSwitchWaitLabel"))->isHidden());
}

namespace {

// The window on controller A, with a second controller B ready to be plugged in.
struct ReplacementRig : test::DescriptionRig {
    QString second;
    test::ScriptedEcho *echo = nullptr;

    ReplacementRig()
    {
        describe();
        prompts.messages.clear();
        sim::SimDeviceOptions options;
        options.firmware = sim::fullControllerFirmware24();
        options.firmware.setIdentity({24, 3, 11, 2, 17, 0, 4, 2, 1, 8}); // another board
        options.realTime = false;
        second = transport.addDevice(std::move(options));
    }
    bool plugSecond()
    {
        transport.plug(second);
        return test::waitUntil([&] { return dm.currentDevice().id == second; }, 3000) &&
               test::waitUntil([&] { return !dm.isBusy(); }, 5000);
    }
    int receivedBy(const QString &device, int code, int sub = -1) const
    {
        int n = 0;
        for (const link::Payload &p : transport.receivedRequests(device))
            n += p[link::pos::Code] == code && (sub < 0 || p[link::pos::Sub] == sub);
        return n;
    }
    // The relay byte of each output task the device received.
    std::vector<int> relayTasks(const QString &device) const
    {
        std::vector<int> out;
        for (const link::Payload &p : transport.receivedRequests(device)) {
            if (p[link::pos::Code] == protocol::code::OutputTask)
                out.push_back(p[8]);
        }
        return out;
    }

    // The watchdog on relay 1 with a failed ping: the pulse is on at A.
    service::WatchDogPage &pulseOnFirst()
    {
        window->showServicePages();
        service::WatchDogPage &page = *window->watchDogPage();
        auto scripted = std::make_unique<test::ScriptedEcho>();
        echo = scripted.get();
        page.setEcho(std::move(scripted));
        page.findChild<QLineEdit *>(QStringLiteral("HostEdit"))
            ->setText(QStringLiteral("192.0.2.7"));
        page.findChild<QComboBox *>(QStringLiteral("PingOutputComboBox"))->setCurrentIndex(8);
        page.findChild<QSpinBox *>(QStringLiteral("PingUprTimeEdit"))->setValue(5000);
        page.watchdog().manualPing();
        echo->reply(test::ScriptedEcho::timedOut());
        EXPECT_TRUE(test::waitUntil([&] { return relayTasks(id) == std::vector<int>{1}; }));
        EXPECT_TRUE(test::waitUntil([&] { return relayOn(id); })); // taken, not just queued
        EXPECT_EQ(page.watchdog().pulse(), service::Watchdog::Pulse::On);
        return page;
    }
    bool relayOn(const QString &device)
    {
        bool on = false;
        transport.withFirmware(device, [&](sim::Firmware &fw) {
            link::MonitorState state{};
            protocol::decodeState(fw.handle(protocol::readState(0)).front(), state);
            on = state.relays & 0x01;
        });
        return on;
    }
    bool logSays(service::WatchDogPage &page, const QString &text) const
    {
        for (const QString &line : page.watchdog().log().lines()) {
            if (line.contains(text))
                return true;
        }
        return false;
    }
};

} // namespace

TEST(ControllerReplacement, AConfigurationWriteClickedDuringADescriptionReadNeverReachesEither)
{
    ReplacementRig r;
    bool writeClicked = false;
    // The engineer clicks "Запись" while the description is read; B arrives meanwhile.
    QTimer::singleShot(0, [&] {
        writeClicked = true;
        r.button("WriteCfgBtn")->click();
        r.transport.plug(r.second);
    });
    r.describe();
    ASSERT_TRUE(writeClicked);
    ASSERT_TRUE(test::waitUntil([&] { return r.dm.currentDevice().id == r.second; }));
    ASSERT_TRUE(test::waitUntil([&] { return !r.dm.isBusy(); }, 5000));
    test::spin(50);

    EXPECT_EQ(r.receivedBy(r.second, protocol::code::WriteConfigPage), 0);
    EXPECT_EQ(r.receivedBy(r.id, protocol::code::WriteConfigPage), 0);
    EXPECT_EQ(r.panel(5), QStringLiteral("Отменено при смене контроллера: Запись конфигурации"));
}

TEST(ControllerReplacement, APulseOnTheFirstIsSwitchedOffThereAndReadBackBeforeTheSecondIsTaken)
{
    ReplacementRig r;
    service::WatchDogPage &page = r.pulseOnFirst();
    ASSERT_TRUE(r.plugSecond());

    EXPECT_EQ(r.relayTasks(r.id), (std::vector<int>{1, 0}));
    // The switch-off was read back: a state read after it.
    const auto &toFirst = r.transport.receivedRequests(r.id);
    ASSERT_GE(toFirst.size(), 2u);
    EXPECT_EQ(toFirst.back()[link::pos::Code], protocol::code::State);
    EXPECT_TRUE(r.relayTasks(r.second).empty());
    EXPECT_FALSE(page.watchdog().holdsOutputOn());
    EXPECT_TRUE(r.logSays(page, QStringLiteral("Реле_1 выкл. на прежнем контроллере")));
    EXPECT_TRUE(r.prompts.messages.isEmpty()) << r.prompts.messages.join(" | ").toStdString();

    // The pulse's time runs out on B's watch: its end reaches nobody.
    page.watchdog().timerTick();
    test::spin(50);
    EXPECT_TRUE(r.relayTasks(r.second).empty());
}

class ReplacementRelease : public ::testing::TestWithParam<sim::Fault::Kind> {};

TEST_P(ReplacementRelease, ASwitchOffTheFirstDoesNotConfirmIsSaidAndOwedToNobody)
{
    ReplacementRig r;
    service::WatchDogPage &page = r.pulseOnFirst();
    const bool stateFault = GetParam() == sim::Fault::Kind::ErrorReply;
    r.fault(GetParam(), stateFault ? protocol::code::State : protocol::code::OutputTask);
    ASSERT_TRUE(r.plugSecond());
    const auto warned = [&] {
        return !r.prompts.messages.isEmpty() &&
               r.prompts.messages.back().contains(QStringLiteral("может оставаться"));
    };
    ASSERT_TRUE(test::waitUntil(warned, 3000));

    const QString told = r.prompts.messages.join(QStringLiteral(" | "));
    EXPECT_TRUE(told.contains(QStringLiteral("Реле_1 контроллера S/N"))) << told.toStdString();
    EXPECT_TRUE(told.contains(QStringLiteral("может оставаться включённым"))) << told.toStdString();
    EXPECT_EQ(r.panel(5), r.prompts.messages.back());
    EXPECT_TRUE(r.logSays(page, QStringLiteral("выключение не подтверждено")));
    // Nothing of it is owed to B: not now, not at its description.
    EXPECT_FALSE(page.watchdog().holdsOutputOn());
    r.describe();
    page.watchdog().timerTick();
    test::spin(50);
    EXPECT_TRUE(r.relayTasks(r.second).empty());
}

INSTANTIATE_TEST_SUITE_P(Faults, ReplacementRelease,
                         ::testing::Values(sim::Fault::Kind::Drop, sim::Fault::Kind::ErrorReply));

TEST(ControllerReplacement, ASwitchOffOwedToAPulledControllerGoesToItAloneWhenItIsBack)
{
    ReplacementRig r;
    service::WatchDogPage &page = r.pulseOnFirst();
    r.transport.unplug(r.id);
    ASSERT_TRUE(test::waitUntil([&] { return !r.dm.hasDevice(); }));
    // The pulse ends here, owed: its timer cannot send the end to whoever comes next.
    EXPECT_EQ(page.watchdog().pulse(), service::Watchdog::Pulse::None);
    ASSERT_TRUE(page.watchdog().switchOffOwed());
    ASSERT_TRUE(test::waitUntil([&] { return !r.prompts.messages.isEmpty(); }));
    EXPECT_EQ(r.prompts.messages.back(),
              QStringLiteral("Внимание: Реле_1 контроллера S/N 24.3.11.2.17.0.4.2.1.9. может "
                             "оставаться включённым (контроллер отключен)"));

    // Another board: it says who it is and gets nothing.
    r.prompts.messages.clear();
    r.transport.plug(r.second);
    ASSERT_TRUE(test::waitUntil([&] { return !r.prompts.messages.isEmpty(); }));
    EXPECT_TRUE(r.prompts.messages.back().contains(
        QStringLiteral("подключен другой контроллер (S/N 24.3.11.2.17.0.4.2.1.8.)")))
        << r.prompts.messages.back().toStdString();
    EXPECT_EQ(r.receivedBy(r.second, protocol::code::Identity), 1);
    EXPECT_TRUE(r.relayTasks(r.second).empty());
    EXPECT_TRUE(page.watchdog().switchOffOwed());

    // The first back (the other one pulled): the switch-off goes to it.
    r.transport.unplug(r.second);
    ASSERT_TRUE(test::waitUntil([&] { return !r.dm.hasDevice(); }));
    r.transport.plug(r.id);
    ASSERT_TRUE(test::waitUntil([&] { return r.relayTasks(r.id).size() == 2; }));
    EXPECT_EQ(r.relayTasks(r.id).back(), 0);
    EXPECT_FALSE(page.watchdog().holdsOutputOn());
    EXPECT_TRUE(r.relayTasks(r.second).empty());
}

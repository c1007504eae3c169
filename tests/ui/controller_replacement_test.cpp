// A second controller plugged in while the first is current takes its place without a
// removal in between. For the window that is a new connection: nothing it learned from
// the first controller (its loops, its configuration, the sweep's knowledge) may be
// written into the second.
#include "description_rig.h"
#include "link/protocol.h"
#include "loops/widgets/loop_page.h"

#include <QCheckBox>
#include <QLabel>

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

#include "sim/demo_controller.h"
#include "sim/scenarios.h"
#include "support/test_support.h"

#include <QDate>

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>

using namespace vardex;

namespace {

sim::SimDeviceOptions demoOptions()
{
    sim::SimDeviceOptions options;
    options.id = sim::kDemoDeviceId;
    options.latencyMs = 0;
    options.realTime = false;
    return options;
}

} // namespace

TEST(DemoPlug, PlugsAControllerWhoseLogIsTheOneBuiltOnTheSpot)
{
    const QDate today(2026, 3, 20);
    sim::SimTransport transport;
    transport.start();
    sim::DemoPlug plug(
        transport, [today] { return sim::demoController(today); }, demoOptions());
    QStringList pluggedIds;
    QObject::connect(&plug, &sim::DemoPlug::plugged, [&](const QString &id) { pluggedIds << id; });
    plug.start(0);
    ASSERT_TRUE(test::waitUntil([&] { return !plug.deviceId().isEmpty(); }, 30000));
    test::spin(5);
    EXPECT_EQ(pluggedIds, QStringList{sim::kDemoDeviceId});
    EXPECT_TRUE(transport.isPlugged(sim::kDemoDeviceId));
    ASSERT_EQ(transport.devices().size(), 1);

    const sim::Firmware expected = sim::demoController(today);
    ASSERT_GT(expected.eventLog().written(), 0u);
    transport.withFirmware(sim::kDemoDeviceId, [&](sim::Firmware &fw) {
        EXPECT_EQ(fw.eventLog().written(), expected.eventLog().written());
        EXPECT_EQ(fw.eventLog().pointerA(), expected.eventLog().pointerA());
        EXPECT_EQ(fw.eventLog().pointerB(), expected.eventLog().pointerB());
        int differing = 0;
        for (std::size_t n = 1; n <= sim::EventLog::kSlots; ++n)
            differing += fw.eventLog().record(n) != expected.eventLog().record(n);
        EXPECT_EQ(differing, 0);
        EXPECT_EQ(fw.config().firmwareVersion(), expected.config().firmwareVersion());
    });
}

TEST(DemoPlug, NothingIsPluggedUntilTheBuildIsDone)
{
    std::promise<void> gate;
    std::shared_future<void> open = gate.get_future().share();
    std::atomic<bool> building = false;
    sim::SimTransport transport;
    transport.start();
    sim::DemoPlug plug(
        transport,
        [open, &building] {
            building = true;
            open.wait();
            return sim::fullControllerFirmware24();
        },
        demoOptions());
    plug.start(0);
    ASSERT_TRUE(test::waitUntil([&] { return building.load(); }, 10000));
    test::spin(20);
    EXPECT_TRUE(transport.devices().isEmpty());
    EXPECT_TRUE(plug.deviceId().isEmpty());
    EXPECT_FALSE(plug.isBuilt());

    gate.set_value();
    ASSERT_TRUE(test::waitUntil([&] { return !plug.deviceId().isEmpty(); }, 10000));
    EXPECT_TRUE(transport.isPlugged(plug.deviceId()));
}

TEST(DemoPlug, AControllerBuiltAfterThePlugIsGoneIsDropped)
{
    std::promise<void> gate;
    std::shared_future<void> open = gate.get_future().share();
    std::atomic<bool> building = false;
    sim::SimTransport transport;
    transport.start();
    auto plug = std::make_unique<sim::DemoPlug>(
        transport,
        [open, &building] {
            building = true;
            open.wait();
            return sim::fullControllerFirmware24();
        },
        demoOptions());
    plug->start(0);
    ASSERT_TRUE(test::waitUntil([&] { return building.load(); }, 10000));
    gate.set_value();
    plug.reset(); // waits for the worker; its hand-over must not reach a deleted object
    test::spin(20);
    EXPECT_TRUE(transport.devices().isEmpty());
}

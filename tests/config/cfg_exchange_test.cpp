#include "config/cfg_exchange.h"
#include "link/data_module.h"
#include "sim/scenarios.h"
#include "sim/sim_transport.h"
#include "support/in_operation.h"
#include "support/test_support.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

using namespace vardex;
using link::Payload;
using sim::Fault;

namespace {

struct Rig {
    Rig()
    {
        sim::SimDeviceOptions options;
        options.realTime = false;
        options.firmware = sim::fullControllerFirmware24();
        id = transport.addDevice(std::move(options));
        transport.plug(id);
        transport.start();
        connected = test::waitUntil([&] { return dm.hasDevice(); }, 2000);
    }

    std::vector<Payload> requests(std::uint8_t code) const
    {
        std::vector<Payload> out;
        for (const Payload &p : transport.receivedRequests(id)) {
            if (p[link::pos::Code] == code)
                out.push_back(p);
        }
        return out;
    }

    sim::SimTransport transport;
    link::DataModule dm{transport};
    QString id;
    bool connected = false;
};

} // namespace

TEST(ConfigWrite, FourPagesAndNeverTheVersionBytes)
{
    Rig rig;
    ASSERT_TRUE(rig.connected);
    auto &c = rig.dm.image().config;
    c.firmwareVersion = 99;
    c.buildVariant = 77;
    c.hardwareConfigNumber = 42;
    c.reserved0 = 0x5A;
    c.temperAlarmLow[0] = -80;
    vardex::test::asOperation(rig.dm, config::writeConfig);

    const auto writes = rig.requests(9);
    ASSERT_EQ(writes.size(), 4u);
    for (int page = 0; page < 4; ++page)
        EXPECT_EQ(writes[page][link::pos::Sub], page);
    // Page 0 starts at HardwareConfigNumber and carries Reserved0 as held.
    EXPECT_EQ(writes[0][6], 42);
    EXPECT_EQ(writes[0][7], 0x5A);
    for (const Payload &p : writes) {
        for (std::size_t i = 6; i < p.size(); ++i) {
            EXPECT_NE(p[i], 99) << "page " << int(p[1]) << " byte " << i;
            EXPECT_NE(p[i], 77) << "page " << int(p[1]) << " byte " << i;
        }
    }
    // -80 goes out as its low 16 bits.
    EXPECT_EQ(writes[3][30], 0xB0);
    EXPECT_EQ(writes[3][31], 0xFF);
    // The controller keeps its own version.
    rig.transport.withFirmware(rig.id, [](sim::Firmware &fw) {
        EXPECT_EQ(fw.config().firmwareVersion(), 24);
        EXPECT_EQ(fw.config().hardwareConfigNumber(), 42);
    });
}

TEST(ConfigWrite, UnansweredPagesAreStillSentAfter200Ms)
{
    Rig rig;
    ASSERT_TRUE(rig.connected);
    for (int page = 0; page < 4; ++page)
        rig.transport.addFault(rig.id, Fault{Fault::Kind::Drop, 9, page, 0});
    QElapsedTimer timer;
    timer.start();
    vardex::test::asOperation(rig.dm, config::writeConfig);
    EXPECT_EQ(rig.requests(9).size(), 4u);
    EXPECT_GE(timer.elapsed(), 4 * 200 - 20);
    EXPECT_LT(timer.elapsed(), 2000);
}

TEST(ConfigRead, AllPagesInTimeCompleteTheRead)
{
    Rig rig;
    ASSERT_TRUE(rig.connected);
    QStringList messages;
    const auto outcome = vardex::test::asOperation(rig.dm, config::readConfig,
                                                   [&](const QString &text) { messages << text; });
    EXPECT_EQ(outcome, config::ReadOutcome::Complete);
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(rig.dm.image().config.firmwareVersion, 24);
}

TEST(ConfigRead, LateThirdPageLandsInsideTheOperation)
{
    Rig rig;
    ASSERT_TRUE(rig.connected);
    rig.transport.withFirmware(rig.id,
                               [](sim::Firmware &fw) { fw.config().setTemperAlarm(1, -80, 250); });
    rig.transport.addFault(rig.id, Fault{Fault::Kind::Delay, 1, 3, 300});
    const auto outcome = vardex::test::asOperation(rig.dm, config::readConfig, link::ShowMessage{});
    EXPECT_EQ(outcome, config::ReadOutcome::Page3Late);
    // Zero-extended by the reply handler.
    EXPECT_EQ(rig.dm.image().config.temperAlarmLow[0], 65456);
    EXPECT_EQ(rig.dm.image().config.temperAlarmHigh[0], 250);
}

// The watchdog's pulse while a long sequence holds the link: its switch-on goes out at
// the sequence's next step, and the pulse keeps its length at the controller.
#include "display/display_transfer.h"
#include "display/script_buffer.h"
#include "link/protocol.h"
#include "log/log_transfer.h"
#include "log/record_store.h"
#include "loops/loop_transfer.h"
#include "service/widgets/watchdog_page.h"
#include "support/page_rig.h"
#include "support/scripted_echo.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QTimer>

#include <gtest/gtest.h>

using namespace vardex;
using test::ScriptedEcho;
namespace code = link::protocol::code;

namespace {

enum class Sequence { Test2, FullLogRead, WriteAllLoops };

struct LatencyCase {
    const char *name;
    Sequence sequence;
    int stepRequests; // requests of one step of the sequence
};

struct LatencyRig : test::PageRig {
    // Replies take 10 ms, so each sequence holds the link for a second or more.
    LatencyRig() : PageRig(sim::controllerWithLog(400), 10)
    {
        auto scripted = std::make_unique<ScriptedEcho>();
        echo = scripted.get();
        page = std::make_unique<service::WatchDogPage>(ctx, std::move(scripted));
        page->onConnectionChanged(true);
        page->findChild<QLineEdit *>(QStringLiteral("HostEdit"))->setText("192.0.2.7");
        page->findChild<QComboBox *>(QStringLiteral("PingOutputComboBox"))->setCurrentIndex(8);
        page->findChild<QSpinBox *>(QStringLiteral("PingUprTimeEdit"))->setValue(200);
        dm.setTraceSink([this](const link::TraceEntry &e) {
            if (e.direction == link::TraceEntry::Direction::Sent)
                wire.emplace_back(e.payload[link::pos::Code], e.payload[8], e.nanoseconds);
        });
    }

    // Code, relay task byte (for output tasks) and time of every request sent.
    std::vector<std::tuple<int, int, qint64>> wire;
    ScriptedEcho *echo = nullptr;
    std::unique_ptr<service::WatchDogPage> page;
    bool running = true;
    display::ScriptBuffer script;
    log::RecordStore store;

    void runSequence(Sequence s)
    {
        dm.runOperation([this, s](link::OperationContext &ctx) {
            switch (s) {
            case Sequence::Test2: {
                display::DisplayLink link{ctx, script};
                display::test2(link, {}, running);
                break;
            }
            case Sequence::FullLogRead:
                log::readFullLog(ctx, store, {}, {});
                break;
            case Sequence::WriteAllLoops:
                loops::writeAllLoops(ctx);
                break;
            }
        });
    }
    std::size_t indexOfTask(int relays) const
    {
        for (std::size_t i = 0; i < wire.size(); ++i)
            if (std::get<0>(wire[i]) == code::OutputTask && std::get<1>(wire[i]) == relays)
                return i;
        return wire.size();
    }
};

} // namespace

class WatchdogDuringLongSequence : public ::testing::TestWithParam<LatencyCase> {};

TEST_P(WatchdogDuringLongSequence, SwitchesWithinOneStepAndForThePulseLength)
{
    const LatencyCase &c = GetParam();
    LatencyRig r;
    std::size_t decidedAt = 0;
    // The ping goes out before the sequence starts; it fails 150 ms into the sequence.
    r.page->watchdog().manualPing();
    QTimer::singleShot(150, [&] {
        decidedAt = r.wire.size();
        r.echo->reply(ScriptedEcho::timedOut());
    });
    // Once the pulse is over, the sequence is stopped.
    QTimer stopper;
    QObject::connect(&stopper, &QTimer::timeout, [&] {
        if (r.indexOfTask(0x00) < r.wire.size()) {
            r.running = false;
            r.dm.cancel();
        }
    });
    stopper.start(5);
    r.runSequence(c.sequence);
    ASSERT_TRUE(test::waitUntil([&] { return !r.dm.isBusy(); }, 20000));

    const std::size_t on = r.indexOfTask(0x01);
    const std::size_t off = r.indexOfTask(0x00);
    ASSERT_LT(on, r.wire.size()) << "the pulse never started";
    ASSERT_LT(off, r.wire.size()) << "the pulse never ended";
    ASSERT_GT(decidedAt, 0u) << "the sequence had not started when the ping failed";
    // The switch itself reads the outputs and the loop flags before its write.
    constexpr std::size_t kSwitchReads = 2;
    EXPECT_LE(on - decidedAt, static_cast<std::size_t>(c.stepRequests) + kSwitchReads)
        << "the switch-on waited for more than one step";
    const qint64 lengthNs = std::get<2>(r.wire[off]) - std::get<2>(r.wire[on]);
    EXPECT_GE(lengthNs, 200'000'000) << "on for only " << lengthNs / 1e6 << " ms";
    // The sequence went on between the two: the link was shared, not handed over.
    EXPECT_GT(off - on, 1u);
}

INSTANTIATE_TEST_SUITE_P(Table, WatchdogDuringLongSequence,
                         ::testing::Values(LatencyCase{"Test2", Sequence::Test2, 2},
                                           LatencyCase{"FullLogRead", Sequence::FullLogRead, 1},
                                           LatencyCase{"WriteAllLoops", Sequence::WriteAllLoops,
                                                       4}),
                         [](const auto &info) { return std::string(info.param.name); });

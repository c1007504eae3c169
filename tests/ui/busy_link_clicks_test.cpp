// A click while a long sequence (display test 2) holds the link either goes out at the
// sequence's next step or is refused at once with a hint; it never fires after "Стоп".
#include "kit/widgets/status_bar.h"
#include "link/protocol.h"
#include "work_test_rig.h"

#include <QTimer>

#include <gtest/gtest.h>

using namespace vardex;
namespace code = link::protocol::code;

namespace {

struct ClickCase {
    const char *name;
    const char *button;
    int code;        // the request the click sends first
    bool atNextStep; // else refused
};

class BusyLinkClick : public ::testing::TestWithParam<ClickCase> {};

} // namespace

TEST_P(BusyLinkClick, RunsAtTheNextStepOrIsRefusedAtOnce)
{
    const ClickCase &c = GetParam();
    test::WorkRig r;
    r.enableButtons();
    std::vector<int> wire; // codes of the requests sent, in order
    r.dm.setTraceSink([&](const link::TraceEntry &e) {
        if (e.direction == link::TraceEntry::Direction::Sent)
            wire.push_back(e.payload[link::pos::Code]);
    });
    std::size_t clickAt = 0;
    std::size_t sentWhileTestRan = 0;
    QString hintAfterClick;
    QTimer::singleShot(300, r.window.get(), [&] {
        clickAt = wire.size();
        QPushButton *b = r.button(QLatin1String(c.button));
        b->setEnabled(true);
        b->click();
        hintAfterClick = r.window->statusBar().panelText(5);
    });
    QTimer::singleShot(900, r.window.get(), [&] {
        sentWhileTestRan = wire.size();
        r.button(QStringLiteral("StopTest2Btn"))->click();
    });
    r.button(QStringLiteral("FutabaTest2Btn"))->click();
    ASSERT_TRUE(test::waitUntil([&] { return !r.dm.isBusy(); }, 20000));
    test::spin(50);

    const auto first =
        std::find(wire.begin() + static_cast<std::ptrdiff_t>(clickAt), wire.end(), c.code);
    const auto at = static_cast<std::size_t>(first - wire.begin());
    if (c.atNextStep) {
        ASSERT_NE(first, wire.end()) << "the click never went out";
        EXPECT_LT(at, sentWhileTestRan) << "the click waited for the end of the test";
        // Within one pass: a picture and a clear of the display at most.
        EXPECT_LE(at - clickAt, 2u);
    } else {
        EXPECT_EQ(first, wire.end()) << "a refused click went out after the test";
        EXPECT_TRUE(hintAfterClick.startsWith(QStringLiteral("Канал связи занят")))
            << hintAfterClick.toStdString();
    }
    // The test's own transfers stayed whole.
    EXPECT_EQ(r.received(code::SerialSend).size() % 2, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BusyLinkClick,
    ::testing::Values(ClickCase{"OutputTask", "WorkTaskBtn", code::OutputTask, true},
                      ClickCase{"SignedKey", "GetKeyBtn", code::Hash, true},
                      ClickCase{"ClockRead", "GetDateTimeBtn", code::Clock, true},
                      ClickCase{"Description", "QueryDeviceBtn", code::ConfigPage, false},
                      ClickCase{"ConfigRead", "ReadCfgBtn", code::ConfigPage, false},
                      ClickCase{"AllLoopsRead", "ReadUprLoopConfigBtn", code::Loop, false},
                      ClickCase{"LogRead", "ReadLogBtn", code::LogRecord, false}),
    [](const auto &info) { return std::string(info.param.name); });

// A refused long action leaves its page ready for the next click: the log page's read
// was marked as running before the link turned it down.
TEST(BusyLinkClick, ARefusedLogReadLeavesThePageReadyToReadAgain)
{
    test::WorkRig r;
    bool readyDuringTest = false;
    QTimer::singleShot(300, r.window.get(), [&] {
        QPushButton *read = r.button(QStringLiteral("ReadLogBtn"));
        read->setEnabled(true);
        read->click();
        readyDuringTest = read->isEnabled();
        r.button(QStringLiteral("StopTest2Btn"))->click();
    });
    r.button(QStringLiteral("FutabaTest2Btn"))->click();
    ASSERT_TRUE(test::waitUntil([&] { return !r.dm.isBusy(); }, 20000));
    EXPECT_TRUE(readyDuringTest);
    EXPECT_FALSE(r.button(QStringLiteral("StopLogBtn"))->isEnabled());
    EXPECT_TRUE(r.received(code::LogRecord).empty());
}

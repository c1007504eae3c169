// During a read the log page shows where the read is on a timer, not per record; what it
// shows once the read has ended must not depend on where that timer happened to be.
#include "log/widgets/log_frame.h"
#include "support/page_rig.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

using namespace vardex;

namespace {

struct ReadingPage {
    explicit ReadingPage(int records) : rig(sim::controllerWithLog(records)), page(rig.ctx)
    {
        page.onConnectionChanged(rig.connected);
    }
    QString text(const char *name) const
    {
        auto *l = page.findChild<QLabel *>(QLatin1String(name));
        return l ? l->text() : QStringLiteral("(missing)");
    }
    QTimer *refresh() const
    {
        return page.findChild<QTimer *>(QStringLiteral("LogReadRefreshTimer"));
    }

    test::PageRig rig;
    log::LogFrame page;
};

} // namespace

// Both sides of the limit up to which the view follows the read record by record (the
// ring counts blocks of four records, so whole blocks).
class LogReadRefresh : public ::testing::TestWithParam<int> {};

TEST_P(LogReadRefresh, CountersEndAtTheLastRecordAndTheRefreshStops)
{
    const int records = GetParam();
    ReadingPage p(records);
    p.rig.transport.setLatency(p.rig.id, 0);
    ASSERT_NE(p.refresh(), nullptr);
    p.page.findChild<QPushButton *>(QStringLiteral("ReadLogBtn"))->click();
    ASSERT_TRUE(test::waitUntil([&] { return !p.page.isReading(); }, 30000));
    EXPECT_EQ(p.page.store().count(), records);
    EXPECT_EQ(p.text("stLogPositionRecords"), QString::number(records));
    EXPECT_EQ(p.text("stLogMaxRecords"), QString::number(records));
    EXPECT_EQ(p.page.workingRecord().number, p.page.store().record(records).number);
    EXPECT_FALSE(p.refresh()->isActive());
}

INSTANTIATE_TEST_SUITE_P(ShortAndLongLogs, LogReadRefresh,
                         ::testing::Values(log::kLiveViewLimit - 4, log::kLiveViewLimit + 100));

TEST(LogReadRefreshStop, AStoppedReadShowsTheRecordsItGot)
{
    ReadingPage p(2000);
    p.rig.transport.setLatency(p.rig.id, 1);
    // Stopped once 50 records have been asked for, wherever the refresh timer is.
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (p.rig.received(11).size() >= 50) {
            watch.stop();
            p.page.findChild<QPushButton *>(QStringLiteral("StopLogBtn"))->click();
        }
    });
    watch.start(2);
    p.page.findChild<QPushButton *>(QStringLiteral("ReadLogBtn"))->click();
    ASSERT_TRUE(test::waitUntil([&] { return !p.page.isReading(); }, 30000));
    const int read = p.page.store().count();
    ASSERT_GT(read, 0);
    ASSERT_LT(read, 2000);
    EXPECT_EQ(p.text("stLogPositionRecords"), QString::number(read));
    EXPECT_FALSE(p.refresh()->isActive());
}

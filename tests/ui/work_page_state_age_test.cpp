// The Work page never shows frozen values as live: a polling tick that cannot run says
// how old the shown state is, and a cycle that reads it again takes the notice away.
#include "kit/widgets/status_bar.h"
#include "link/protocol.h"
#include "work_test_rig.h"

#include <QTimer>

#include <gtest/gtest.h>

using namespace vardex;

namespace {

struct AgeRig : test::WorkRig {
    AgeRig()
    {
        enableButtons();
        page->askTimer().setInterval(40); // ticks come fast; nothing here waits seconds
    }
    QString hint() const { return window->statusBar().panelText(5); }
    int stateReads() const { return requestCount(link::protocol::code::State, 1); }
};

} // namespace

TEST(WorkPollingAge, ATickSkippedBehindAnotherOperationSaysHowOldTheStateIs)
{
    AgeRig r;
    r.page->askStateButton()->click();
    ASSERT_TRUE(test::waitUntil([&] { return r.stateReads() >= 1; }));
    // Another operation without steps holds the link across several ticks.
    QString during;
    r.dm.runOperation([&](link::OperationContext &ctx) {
        ctx.pause(200);
        during = r.hint();
    });
    EXPECT_TRUE(during.startsWith(QStringLiteral("Опрос пропущен: канал связи занят")))
        << during.toStdString();
    EXPECT_TRUE(during.contains(QStringLiteral("состояние на странице от")));
    // The next cycle reads the state again and the notice goes.
    const int before = r.stateReads();
    ASSERT_TRUE(test::waitUntil([&] { return r.stateReads() > before && r.hint().isEmpty(); }));
    r.page->askStateButton()->click();
}

TEST(WorkPollingAge, ATickDuringASequenceThatYieldsRunsAtItsNextStep)
{
    AgeRig r;
    r.page->askStateButton()->click();
    ASSERT_TRUE(test::waitUntil([&] { return r.stateReads() >= 1; }));
    const int before = r.stateReads();
    int duringSequence = 0;
    QString during;
    r.dm.runOperation([&](link::OperationContext &ctx) {
        for (int step = 0; step < 4; ++step) {
            ctx.send(link::protocol::readClock());
            ctx.waitReply(500);
            ctx.pause(60); // the step's own pause: ticks come while the link is held
            during = r.hint();
            ctx.yieldLink();
        }
        duringSequence = r.stateReads() - before;
    });
    EXPECT_GE(duringSequence, 2) << "polling waited for the end of the sequence";
    EXPECT_TRUE(during.contains(QStringLiteral("опрос выполнится между шагами")))
        << during.toStdString();
    r.page->askStateButton()->click();
}

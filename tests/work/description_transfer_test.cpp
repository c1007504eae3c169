#include "link/protocol.h"
#include "support/sim_controller.h"
#include "work/description_transfer.h"

#include <gtest/gtest.h>

using namespace vardex;
using sim::Fault;

namespace {

work::DescriptionTimings quick()
{
    work::DescriptionTimings t;
    t.configPage3Ms = 150;
    t.loopRecordMs = 150;
    t.identityPauseMs = 10;
    t.identityMs = 150;
    return t;
}

link::DescriptionResult describe(test::SimController &c)
{
    link::DescriptionResult r;
    c.dm.runOperation([&](link::OperationContext &ctx) {
        r = work::readDescription(ctx, quick(), [&] { return c.dm.isConnected(); });
    });
    return r;
}

} // namespace

TEST(DescriptionTransfer, CompleteReadSaysHowFarItCameAndWhatItRead)
{
    sim::Firmware fw = sim::fullControllerFirmware24();
    fw.setIdentity({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    test::SimController c(std::move(fw));
    ASSERT_TRUE(c.plug());
    int cursorDepth = 0;
    int deepest = 0;
    QObject::connect(&c.dm, &link::DataModule::busyCursorChanged, [&](bool busy) {
        cursorDepth += busy ? 1 : -1;
        deepest = std::max(deepest, cursorDepth);
    });

    const link::DescriptionResult r = describe(c);
    EXPECT_TRUE(r.op.ok());
    EXPECT_TRUE(r.configurationRead && r.described && r.identityAnswered && r.timed);
    EXPECT_EQ(r.serial, QStringLiteral("1.2.3.4.5.6.7.8.9.10."));
    EXPECT_EQ(c.requestCount(6), 52);
    EXPECT_EQ(deepest, 1);
    EXPECT_EQ(cursorDepth, 0); // the hourglass is given back
}

TEST(DescriptionTransfer, ErrorReplyToTheIdentityIsAnAnswerWithoutASerial)
{
    test::SimController c;
    ASSERT_TRUE(c.plug());
    c.transport.addFault(c.id, Fault{Fault::Kind::ErrorReply, 34});
    const link::DescriptionResult r = describe(c);
    EXPECT_EQ(r.op.status, link::OpStatus::ErrorReply);
    EXPECT_TRUE(r.described);
    EXPECT_TRUE(r.identityAnswered);
    EXPECT_TRUE(r.serial.isEmpty());
    EXPECT_TRUE(r.timed);
}

TEST(DescriptionTransfer, MissedLoopRecordStopsTheReadAtThatLoop)
{
    test::SimController c;
    ASSERT_TRUE(c.plug());
    c.transport.addFault(c.id, Fault{Fault::Kind::Drop, 6, 13});
    const link::DescriptionResult r = describe(c);
    EXPECT_EQ(r.op.status, link::OpStatus::NoReply);
    EXPECT_EQ(r.op.step, 13);
    EXPECT_TRUE(r.configurationRead);
    EXPECT_FALSE(r.described);
    EXPECT_FALSE(r.timed);
    EXPECT_EQ(c.requestCount(34), 0);
}

TEST(DescriptionTransfer, StopDuringTheLoopsEndsWithoutTheIdentity)
{
    test::SimController c;
    ASSERT_TRUE(c.plug());
    c.dm.setTraceSink([&c](const link::TraceEntry &e) {
        if (e.direction == link::TraceEntry::Direction::Sent && e.payload[link::pos::Code] == 6 &&
            e.payload[link::pos::Sub] == 7)
            c.dm.cancel();
    });
    const link::DescriptionResult r = describe(c);
    EXPECT_EQ(r.op.status, link::OpStatus::Cancelled);
    EXPECT_FALSE(r.described);
    EXPECT_EQ(c.requestCount(6, 8), 0);
    EXPECT_EQ(c.requestCount(34), 0);
}

TEST(DescriptionTransfer, NoControllerNoRequest)
{
    test::SimController c;
    const link::DescriptionResult r = describe(c); // never plugged
    EXPECT_EQ(r.op.status, link::OpStatus::Disconnected);
    EXPECT_FALSE(r.configurationRead);
    EXPECT_TRUE(c.transport.receivedRequests(c.id).empty());
}

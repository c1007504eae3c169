#include "description_rig.h"
#include "work/description_text.h"

#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

using namespace vardex;
using sim::Fault;
using test::DescriptionRig;

namespace {

struct ClockRig : DescriptionRig {
    ClockRig()
    {
        for (const char *name : {"GetDateTimeBtn", "SetHashTimerBtn", "WorkDateTimeSyncBtn"})
            widget<QWidget>(QLatin1String(name))->setEnabled(true);
    }

    void setControllerClock(const QDateTime &utc)
    {
        transport.withFirmware(id, [&](sim::Firmware &fw) { fw.setClock(utc); });
    }

    // A clock reply the firmware could not make: the request is lost and this one
    // comes in its place while the program waits.
    void answerClockWith(const link::DeviceClock &c)
    {
        fault(Fault::Kind::Drop, 4);
        QTimer::singleShot(30, &dm, [this, c] {
            link::Payload reply{};
            reply[link::pos::Code] = 4;
            const std::uint8_t fields[] = {c.year, c.month, c.day, c.hour, c.minute, c.second};
            for (std::size_t i = 0; i < 6; ++i)
                reply[link::pos::Data + i] = fields[i];
            transport.injectReport(id, reply);
        });
    }
};

} // namespace

TEST(ClockRead, ShowsTheControllerClockDayFirst)
{
    ClockRig rig;
    rig.setControllerClock(QDateTime(QDate(2026, 3, 7), QTime(9, 5, 0), Qt::UTC));
    rig.button("GetDateTimeBtn")->click();
    EXPECT_EQ(rig.panel(4), QStringLiteral("07-03-26 09:05:00"));
    EXPECT_TRUE(rig.prompts.messages.isEmpty());
}

TEST(ClockRead, HiddenHashClockButtonReadsTheSame)
{
    ClockRig rig;
    rig.setControllerClock(QDateTime(QDate(2031, 12, 31), QTime(23, 59, 58), Qt::UTC));
    rig.button("SetHashTimerBtn")->click();
    EXPECT_EQ(rig.panel(4), QStringLiteral("31-12-31 23:59:58"));
}

TEST(ClockRead, ImpossibleDateIsReportedAndPanelKeepsItsText)
{
    ClockRig rig;
    rig.window->statusBar().setPanelText(4, QStringLiteral("05-03-12 14:07:09"));
    link::DeviceClock bad;
    bad.year = 26;
    bad.month = 13;
    bad.day = 7;
    bad.hour = 9;
    bad.minute = 5;
    rig.answerClockWith(bad);

    rig.button("GetDateTimeBtn")->click();
    ASSERT_EQ(rig.prompts.messages.size(), 1);
    EXPECT_TRUE(rig.prompts.messages[0].startsWith(
        QStringLiteral("Неверные дата или время контроллера: ")));
    EXPECT_TRUE(rig.prompts.messages[0].contains(QStringLiteral("месяц 13")));
    EXPECT_EQ(rig.panel(4), QStringLiteral("05-03-12 14:07:09"));
    EXPECT_EQ(rig.dm.image().clock.month, 13); // stored as it came
}

TEST(ClockRead, ImpossibleTimeIsReportedToo)
{
    ClockRig rig;
    link::DeviceClock bad;
    bad.year = 26;
    bad.month = 3;
    bad.day = 7;
    bad.hour = 25;
    rig.answerClockWith(bad);
    rig.button("GetDateTimeBtn")->click();
    EXPECT_EQ(rig.prompts.messages.size(), 1);
    EXPECT_TRUE(rig.panel(4).isEmpty());
}

TEST(ClockRead, NoReplyEndsSilentlyAfterTwoSeconds)
{
    ClockRig rig;
    rig.window->statusBar().setPanelText(4, QStringLiteral("old"));
    rig.fault(Fault::Kind::Drop, 4);
    QElapsedTimer t;
    t.start();
    rig.button("GetDateTimeBtn")->click();
    EXPECT_GE(t.elapsed(), 1900);
    EXPECT_TRUE(rig.prompts.messages.isEmpty());
    EXPECT_EQ(rig.panel(4), QStringLiteral("old"));
}

TEST(ClockRead, ErrorReplyIsReportedOnceAndShowsNoStaleClock)
{
    ClockRig rig;
    rig.window->statusBar().setPanelText(4, QStringLiteral("old"));
    rig.fault(Fault::Kind::ErrorReply, 4);
    rig.button("GetDateTimeBtn")->click();
    EXPECT_EQ(rig.prompts.messages, QStringList{test::kNoReply});
    EXPECT_EQ(rig.panel(4), QStringLiteral("old"));
}

TEST(ClockSet, SendsLocalTimeThenShowsTheClockReadBack)
{
    ClockRig rig;
    const QDateTime before = QDateTime::currentDateTime();
    rig.button("WorkDateTimeSyncBtn")->click();
    const QDateTime after = QDateTime::currentDateTime();
    EXPECT_FALSE(rig.dm.isBusy());
    ASSERT_TRUE(test::waitUntil([&] { return rig.requestCount(5) == 1; }));
    EXPECT_EQ(rig.requestCount(4), 1);
    EXPECT_EQ(rig.panel(4), work::clockText(rig.dm.image().clock).value_or(QString()));
    EXPECT_TRUE(rig.panel(4).startsWith(after.toString(QStringLiteral("dd-MM-yy"))));
    EXPECT_TRUE(rig.panel(5).isEmpty()) << rig.panel(5).toStdString();

    link::Payload sent{};
    for (const link::Payload &p : rig.transport.receivedRequests(rig.id))
        if (p[link::pos::Code] == 5)
            sent = p;
    EXPECT_EQ(sent[link::pos::Len], 6);
    const QDateTime stamp(QDate(2000 + sent[6], sent[7], sent[8]),
                          QTime(sent[9], sent[10], sent[11]));
    // Milliseconds dropped: the stamp is the second the click happened in.
    EXPECT_GE(stamp, before.addMSecs(-before.time().msec()));
    EXPECT_LE(stamp, after);
}

// A clock read back that never comes, or that does not follow the set, is said on the
// hint line; the clock panel keeps what it showed.
TEST(ClockSet, ASetThatIsNotConfirmedIsSaid)
{
    for (const bool answered : {false, true}) {
        ClockRig rig;
        rig.window->statusBar().setPanelText(4, QStringLiteral("old"));
        if (answered)
            rig.answerClockWith(link::DeviceClock{19, 5, 1, 8, 0, 0}); // the set did not hold
        else
            rig.fault(Fault::Kind::Drop, 4);
        rig.button("WorkDateTimeSyncBtn")->click();
        const QString expected = answered ? QStringLiteral("Синхронизация: часы не установлены: "
                                                           "после записи они расходятся")
                                          : QStringLiteral("Синхронизация: часы не прочитаны "
                                                           "обратно после установки");
        EXPECT_TRUE(rig.panel(5).startsWith(expected)) << rig.panel(5).toStdString();
        EXPECT_EQ(rig.panel(4), QStringLiteral("old"));
    }
}

#include "description_rig.h"
#include "link/disconnect_text.h"
#include "link/protocol.h"
#include "loops/widgets/loop_page.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

using namespace vardex;
using sim::Fault;
using test::DescriptionRig;

namespace {

sim::Firmware withIdentity(sim::Firmware fw, const std::array<std::uint32_t, 10> &groups)
{
    fw.setIdentity(groups);
    return fw;
}

QPushButton *extButton(DescriptionRig &rig)
{
    return rig.window->loopPage()->findChild<QPushButton *>("UprLoopConfigExtBtn");
}

} // namespace

TEST(DescriptionRead, CompleteReadShowsVersionsEnablesEverythingAndNamesTheSerial)
{
    // Groups above 255: only their low byte is the serial number.
    DescriptionRig rig(
        withIdentity(sim::fullControllerFirmware24(), {0x101, 2, 3, 4, 5, 6, 7, 8, 9, 0x30A}));
    ASSERT_TRUE(rig.connected);
    QList<Qt::CursorShape> cursorsDuringRead;
    QObject::connect(&rig.transport, &link::Transport::reportReceived, [&] {
        if (QCursor *c = QApplication::overrideCursor())
            cursorsDuringRead << c->shape();
    });

    rig.describe();

    EXPECT_TRUE(rig.prompts.messages.isEmpty()) << rig.prompts.messages.join('|').toStdString();
    QString rest;
    EXPECT_GE(test::durationPrefix(rig.caption(), &rest), 0) << rig.caption().toStdString();
    EXPECT_EQ(rest, QStringLiteral("Vardex 3.19  S/N=1.2.3.4.5.6.7.8.9.10."));
    EXPECT_EQ(rig.panel(1), "v 24");
    EXPECT_EQ(rig.panel(2), QStringLiteral("v %1").arg(rig.dm.image().config.buildVariant));
    EXPECT_EQ(rig.panel(3), QStringLiteral("v %1").arg(rig.dm.image().config.hardwareConfigNumber));
    for (const char *name : ui::kDescribedWorkButtons)
        EXPECT_TRUE(rig.enabled(name)) << name;
    for (const char *name : ui::kIdentityButtons)
        EXPECT_TRUE(rig.enabled(name)) << name;

    // Both records of every loop, then the identity.
    EXPECT_EQ(rig.requestCount(6), 52);
    EXPECT_EQ(rig.requestCount(34, 33), 1);
    const auto loop18 = rig.dm.image().loopExt(18);
    EXPECT_EQ(loop18.timerOn, 100);

    ASSERT_FALSE(cursorsDuringRead.isEmpty());
    EXPECT_TRUE(std::all_of(cursorsDuringRead.begin(), cursorsDuringRead.end(),
                            [](Qt::CursorShape s) { return s == Qt::WaitCursor; }));
    EXPECT_TRUE(test::cursorRestored());

    // For a look at the described window: VARDEX_SCREENSHOT=<file.png>.
    const QString shot = qEnvironmentVariable("VARDEX_SCREENSHOT");
    if (!shot.isEmpty()) {
        rig.window->show();
        rig.button("GetDateTimeBtn")->click();
        EXPECT_TRUE(rig.window->grab().save(shot));
    }
}

TEST(DescriptionRead, IdentityOfZerosGivesTenZeroNumbers)
{
    DescriptionRig rig(withIdentity(sim::fullControllerFirmware24(), {}));
    rig.describe();
    EXPECT_TRUE(rig.caption().endsWith(QStringLiteral("S/N=0.0.0.0.0.0.0.0.0.0.")))
        << rig.caption().toStdString();
}

TEST(DescriptionRead, Firmware24EnablesExtendedSettingsResetsTheTagAndClosesTheBox)
{
    DescriptionRig rig;
    QPushButton *ext = extButton(rig);
    ASSERT_NE(ext, nullptr);
    ext->setProperty("tag", 7);
    ext->setEnabled(true);
    ext->click(); // the box is open
    ASSERT_EQ(ext->text(), QStringLiteral("Свернуть"));

    rig.describe();
    EXPECT_TRUE(ext->isEnabled());
    EXPECT_EQ(ext->property("tag").toInt(), 0);
    EXPECT_TRUE(rig.window->findChild<QWidget *>("UprLoopConfigExtBox")->isHidden());
    EXPECT_EQ(ext->text(), QStringLiteral("Дополнительно"));
}

TEST(DescriptionRead, Firmware23DisablesExtendedSettingsButStillAsksForTheRecords)
{
    DescriptionRig rig(sim::fullControllerFirmware23());
    QPushButton *ext = extButton(rig);
    ext->setEnabled(true);
    ext->setProperty("tag", 7);

    rig.describe();
    EXPECT_FALSE(ext->isEnabled());
    EXPECT_EQ(ext->property("tag").toInt(), 7);
    // The older controller answers extended records with empty ones: nothing to
    // report, and the read goes on to the end.
    EXPECT_EQ(rig.requestCount(6), 52);
    EXPECT_TRUE(rig.prompts.messages.isEmpty());
    EXPECT_TRUE(rig.caption().contains(QStringLiteral("S/N=24.3.11.2.17.0.4.2.1.9.")));
    EXPECT_TRUE(rig.enabled("GetKeyBtn"));
}

TEST(DescriptionRead, TwoReadsWithoutPage3StackTwoDurationsNewestFirst)
{
    DescriptionRig rig;
    rig.fault(Fault::Kind::Drop, 1, 3);
    rig.fault(Fault::Kind::Drop, 1, 3);

    rig.describe();
    QString afterFirst;
    const int first = test::durationPrefix(rig.caption(), &afterFirst);
    ASSERT_GE(first, 0) << rig.caption().toStdString();
    EXPECT_EQ(afterFirst, QStringLiteral("Vardex 3.19"));

    rig.describe();
    QString afterSecond;
    const int second = test::durationPrefix(rig.caption(), &afterSecond);
    ASSERT_GE(second, 0);
    EXPECT_EQ(afterSecond, QStringLiteral("%1 Vardex 3.19").arg(first));

    EXPECT_TRUE(rig.prompts.messages.isEmpty());
    EXPECT_EQ(rig.requestCount(6), 0); // no loop read after a missing page 3
    EXPECT_FALSE(rig.enabled("WorkStateBtn"));
    EXPECT_TRUE(rig.panel(1).isEmpty());
    EXPECT_TRUE(test::cursorRestored());
}

TEST(DescriptionRead, ControllerStoppingInTheLoopsReportsOnceAndEnablesNothing)
{
    DescriptionRig rig;
    rig.fault(Fault::Kind::Drop, 6, 13); // the main record of loop 13

    rig.describe();
    ASSERT_EQ(rig.prompts.messages, QStringList{test::kNoReply});
    EXPECT_EQ(rig.caption(), QStringLiteral("Vardex 3.19")); // no duration either
    EXPECT_EQ(rig.requestCount(6, 14), 0);
    EXPECT_EQ(rig.requestCount(34), 0);
    for (const char *name : ui::kDescribedWorkButtons)
        EXPECT_FALSE(rig.enabled(name)) << name;
    // The configuration came in but is not shown.
    EXPECT_EQ(rig.dm.image().config.firmwareVersion, 24);
    EXPECT_TRUE(rig.panel(1).isEmpty());
    EXPECT_FALSE(rig.box("cbRelay1")->isEnabled());
    EXPECT_TRUE(test::cursorRestored());
}

TEST(DescriptionRead, FailedLoopReadKeepsWhatAnEarlierDescriptionEnabled)
{
    DescriptionRig rig;
    rig.describe();
    const QString described = rig.caption();
    rig.fault(Fault::Kind::Drop, 6, 2);
    rig.describe();
    EXPECT_EQ(rig.prompts.messages, QStringList{test::kNoReply});
    EXPECT_EQ(rig.caption(), described);
    EXPECT_TRUE(rig.enabled("WorkStateBtn"));
    EXPECT_TRUE(rig.enabled("GetKeyBtn"));
}

TEST(DescriptionRead, MissingIdentityKeepsTheShownDescriptionButNotTheSignedCommands)
{
    DescriptionRig rig;
    rig.fault(Fault::Kind::Drop, 34);

    rig.describe();
    EXPECT_EQ(rig.prompts.messages, QStringList{test::kNoReply});
    EXPECT_EQ(rig.caption(), QStringLiteral("Vardex 3.19"));
    EXPECT_EQ(rig.panel(1), "v 24");
    for (const char *name : ui::kDescribedWorkButtons)
        EXPECT_TRUE(rig.enabled(name)) << name;
    for (const char *name : ui::kIdentityButtons)
        EXPECT_FALSE(rig.enabled(name)) << name;
    EXPECT_TRUE(test::cursorRestored());
}

// The controller did answer (with its error reply, reported once): the read ends as
// an answered one, only the error report's bytes make no serial number.
TEST(DescriptionRead, ErrorReplyToTheIdentityEndsTheReadWithoutASerialNumber)
{
    DescriptionRig rig;
    rig.window->setWindowTitle(QStringLiteral("Vardex 3.19  S/N=9.9.9.9.9.9.9.9.9.9."));
    rig.fault(Fault::Kind::ErrorReply, 34);
    rig.describe();
    EXPECT_EQ(rig.prompts.messages, QStringList{test::kNoReply});
    QString rest;
    EXPECT_GE(test::durationPrefix(rig.caption(), &rest), 0) << rig.caption().toStdString();
    EXPECT_EQ(rest, QStringLiteral("Vardex 3.19"));
    EXPECT_TRUE(rig.enabled("WorkStateBtn"));
    for (const char *name : ui::kIdentityButtons)
        EXPECT_TRUE(rig.enabled(name)) << name;
    EXPECT_TRUE(test::cursorRestored());
}

// The read replaced all 26 loops: the loop on show is drawn from the new records.
TEST(DescriptionRead, LoopOnShowIsDrawnAgainFromTheReadRecords)
{
    DescriptionRig rig;
    loops::LoopPage *page = rig.window->loopPage();
    page->showUprLoop(1, QString()); // nothing known yet: shown empty
    auto *door = page->findChild<QCheckBox *>("cbDigitInputUpr1");
    ASSERT_NE(door, nullptr);
    ASSERT_FALSE(door->isChecked());

    rig.describe();
    ASSERT_EQ(rig.dm.image().loop(1).contactUse & 1, 1); // the door contact of loop 1
    EXPECT_TRUE(door->isChecked());
    EXPECT_TRUE(door->isEnabled());
}

TEST(DescriptionRead, ErrorReplyToPage3IsReportedAndTheReadGoesOn)
{
    DescriptionRig rig;
    rig.fault(Fault::Kind::ErrorReply, 1, 3);
    rig.describe();
    EXPECT_EQ(rig.prompts.messages, QStringList{test::kNoReply});
    EXPECT_EQ(rig.requestCount(6), 52);
    EXPECT_TRUE(rig.caption().contains(QStringLiteral("S/N=")));
}

// The one path with the configuration run's own 5000 ms wait.
TEST(DescriptionRead, NoReplyToPage0ReportsOnceAndOnlyAddsTheDuration)
{
    DescriptionRig rig;
    rig.fault(Fault::Kind::Drop, 1, 0);
    QElapsedTimer clock;
    clock.start();

    rig.describe();
    EXPECT_EQ(rig.prompts.messages, QStringList{test::kNoReply});
    QString rest;
    const int ms = test::durationPrefix(rig.caption(), &rest);
    EXPECT_GE(ms, 5000);
    EXPECT_EQ(rest, QStringLiteral("Vardex 3.19"));
    // Page 3 was never asked for, so there is no second wait for it.
    EXPECT_LT(clock.elapsed(), 9000);
    EXPECT_EQ(rig.requestCount(1, 1), 0);
    EXPECT_EQ(rig.requestCount(1, 3), 0);
    EXPECT_FALSE(rig.enabled("WorkStateBtn"));
    EXPECT_TRUE(test::cursorRestored());
}

TEST(DescriptionRead, UnplugDuringTheLoopsLeavesTheWindowDisconnected)
{
    DescriptionRig rig;
    rig.fault(Fault::Kind::Unplug, 6, 5);

    rig.describe();
    // The waits ended with the unplug; the controller did not fail to answer.
    EXPECT_EQ(rig.prompts.messages, QStringList{link::kDisconnectedText});
    EXPECT_EQ(rig.panel(0), QStringLiteral("Не подключен"));
    EXPECT_EQ(rig.caption(), QStringLiteral("Vardex 3.19"));
    EXPECT_FALSE(rig.enabled("QueryDeviceBtn"));
    for (const char *name : ui::kDescribedWorkButtons)
        EXPECT_FALSE(rig.enabled(name)) << name;
    EXPECT_TRUE(test::cursorRestored());
}

TEST(DescriptionRead, ClickQueuedBehindAnUnplugEndsWithoutAsking)
{
    DescriptionRig rig;
    rig.dm.runOperation([&](link::OperationContext &) {
        rig.button("QueryDeviceBtn")->click(); // queued
        rig.transport.unplug(rig.id);
        test::waitUntil([&] { return !rig.dm.isConnected(); });
    });
    EXPECT_EQ(rig.requestCount(1), 0);
    EXPECT_TRUE(rig.prompts.messages.isEmpty());
    EXPECT_EQ(rig.caption(), QStringLiteral("Vardex 3.19"));
}

TEST(DescriptionRead, ClickDuringARunningOperationWaitsItsTurn)
{
    DescriptionRig rig;
    rig.dm.runOperation([&](link::OperationContext &ctx) {
        rig.button("QueryDeviceBtn")->click(); // queued, not interleaved
        EXPECT_EQ(rig.requestCount(1), 0);
        ctx.send(link::protocol::readClock());
        EXPECT_TRUE(ctx.waitReply(1000));
    });
    EXPECT_TRUE(rig.caption().contains(QStringLiteral("S/N=")));
    // The clock request went out before the first configuration page.
    const auto all = rig.transport.receivedRequests(rig.id);
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.front()[link::pos::Code], 4);
}

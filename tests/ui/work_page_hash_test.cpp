#include "work/hash_hints.h"
#include "work_test_rig.h"

#include <QCryptographicHash>
#include <QElapsedTimer>

#include <gtest/gtest.h>

using namespace vardex;
using test::WorkRig;

namespace {

std::vector<link::Payload> sentRequests(WorkRig &rig, const std::function<void()> &action)
{
    std::vector<link::Payload> sent;
    rig.dm.setTraceSink([&](const link::TraceEntry &e) {
        if (e.direction == link::TraceEntry::Direction::Sent)
            sent.push_back(e.payload);
    });
    action();
    test::waitUntil([&] { return !rig.dm.isBusy(); });
    rig.dm.setTraceSink({});
    return sent;
}

} // namespace

TEST(WorkHash, ZeroKeysSendTheDigestOfTwentyZeroBytes)
{
    WorkRig rig;
    ASSERT_TRUE(rig.connected);
    rig.enableButtons();
    const auto sent = sentRequests(rig, [&] { rig.button("WriteHashBtn")->click(); });
    ASSERT_EQ(sent.size(), 1u);
    const QByteArray expected =
        QCryptographicHash::hash(QByteArray(20, '\0'), QCryptographicHash::Sha1);
    EXPECT_EQ(sent[0][0], 15);
    EXPECT_EQ(sent[0][1], 0);
    EXPECT_EQ(sent[0][5], 20);
    const QByteArray digest(reinterpret_cast<const char *>(sent[0].data() + 6), 20);
    EXPECT_EQ(digest.toHex(), expected.toHex());
    EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(rig.dm.image().hashDigest.data()), 20),
              expected);
    // The hint shows the controller's answer after the wait, in upper-case hex.
    const QString hint = rig.button("WriteHashBtn")->statusTip();
    EXPECT_EQ(hint, work::hashReplyHint(rig.dm.image().hashReply));
    EXPECT_EQ(rig.button("WriteHashBtn")->toolTip(), hint);
}

TEST(WorkHash, KeysFetchedThenSignedCommandAccepted)
{
    WorkRig rig;
    ASSERT_TRUE(rig.connected);
    rig.enableButtons();
    rig.transport.withFirmware(rig.id, [](sim::Firmware &f) {
        f.setOpenKey({0x0A, 0xBC, 0x01, 0xFF});
    });
    rig.button("GetOpenKeyBtn")->click();
    EXPECT_EQ(rig.button("GetOpenKeyBtn")->statusTip(), "Открытый ключ 0ABC01FF");
    EXPECT_EQ(rig.button("GetOpenKeyBtn")->toolTip(), "Открытый ключ 0ABC01FF");

    rig.button("GetKeyBtn")->click();
    std::array<std::uint8_t, 16> key{};
    rig.transport.withFirmware(rig.id, [&](sim::Firmware &f) { key = f.generatedKey(); });
    EXPECT_EQ(rig.dm.image().generatedKey, key);
    EXPECT_EQ(rig.button("GetKeyBtn")->statusTip(), "Генерация ключа " + work::hexUpper(key));

    rig.button("WriteHashBtn")->click();
    int accepted = 0;
    rig.transport.withFirmware(rig.id,
                               [&](sim::Firmware &f) { accepted = f.acceptedSignedCommands(); });
    EXPECT_EQ(accepted, 1);
    EXPECT_NE(rig.dm.image().hashReply, (std::array<std::uint8_t, 20>{}));
}

TEST(WorkHash, KeyBufferZeroedBeforeAskingSoAnErrorShowsZeros)
{
    WorkRig rig;
    ASSERT_TRUE(rig.connected);
    rig.enableButtons();
    rig.dm.image().generatedKey.fill(0x5A); // an earlier key
    rig.transport.addFault(rig.id, {sim::Fault::Kind::ErrorReply, 15, 1, 0});
    rig.button("GetKeyBtn")->click();
    EXPECT_EQ(rig.dm.image().generatedKey, (std::array<std::uint8_t, 16>{}));
    EXPECT_EQ(rig.button("GetKeyBtn")->statusTip(), "Генерация ключа " + QString(32, '0'));
    EXPECT_EQ(rig.prompts.messages, QStringList{"Нет ответа контроллера"});
}

TEST(WorkHash, ResetSendsWithoutWaiting)
{
    WorkRig rig(300);
    ASSERT_TRUE(rig.connected);
    rig.enableButtons();
    const QString hintBefore = rig.button("ResetHashBtn")->statusTip();
    QElapsedTimer t;
    t.start();
    rig.button("ResetHashBtn")->click();
    EXPECT_LT(t.elapsed(), 250); // the controller needs 300 ms to answer
    EXPECT_FALSE(rig.dm.isBusy());
    ASSERT_TRUE(test::waitUntil([&] { return rig.requestCount(15, 2) == 1; }));
    EXPECT_EQ(rig.button("ResetHashBtn")->statusTip(), hintBefore);
    EXPECT_EQ(hintBefore, "Сброс  HASH команды");
}

TEST(WorkHash, ButtonsQueueBehindARunningOperation)
{
    WorkRig rig;
    ASSERT_TRUE(rig.connected);
    rig.enableButtons();
    bool openKeyAskedDuringPause = false;
    rig.dm.runOperation([&](link::OperationContext &ctx) {
        QTimer::singleShot(50, [&] { rig.button("GetOpenKeyBtn")->click(); });
        ctx.pause(300);
        openKeyAskedDuringPause = rig.requestCount(15, 3) > 0;
    });
    EXPECT_FALSE(openKeyAskedDuringPause);
    EXPECT_EQ(rig.requestCount(15, 3), 1);
}

#include "link/protocol.h"
#include "service/widgets/graph_hash.h"
#include "support/page_rig.h"

#include <QCryptographicHash>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include <gtest/gtest.h>

using vardex::service::GraphHash;
using vardex::test::PageRig;
using vardex::test::waitUntil;

namespace {

QByteArray qtSha1(const QByteArray &message)
{
    return QCryptographicHash::hash(message, QCryptographicHash::Sha1);
}

// The timed test's digest by Qt's SHA-1: (0, h, m, s) and the generated key.
QByteArray timedDigest(int h, int m, int s, const std::array<std::uint8_t, 16> &key)
{
    QByteArray message;
    message.append(char(0)).append(char(h)).append(char(m)).append(char(s));
    message.append(reinterpret_cast<const char *>(key.data()), 16);
    return qtSha1(message);
}

QString hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex()).toUpper();
}

// The hash group on a simulated controller whose clock and the computer's clock both
// read the given time of day; the controller has handed out a key.
struct HashRig {
    explicit HashRig(QTime time) : clock(QDateTime(QDate(2026, 3, 1), time))
    {
        rig.transport.withFirmware(rig.id, [&](vardex::sim::Firmware &f) {
            f.setClock(QDateTime(QDate(2026, 3, 1), time, Qt::UTC));
        });
        rig.dm.runOperation([](vardex::link::OperationContext &ctx) {
            ctx.send(vardex::link::protocol::generateKey());
            ctx.waitReply(1000);
        });
        key = rig.image().generatedKey;
    }

    QString text(const char *name) const
    {
        if (auto *e = group.findChild<QLineEdit *>(QLatin1String(name)))
            return e->text();
        if (auto *l = group.findChild<QLabel *>(QLatin1String(name)))
            return l->text();
        return QStringLiteral("<none>");
    }
    void press(int button)
    {
        auto *answer = group.findChild<QLineEdit *>(QStringLiteral("AnserHashEdit"));
        answer->clear();
        group.offsetButton(button)->click();
        waitUntil([&] { return !answer->text().isEmpty(); }, 5000);
    }

    PageRig rig;
    vardex::ManualClock clock;
    vardex::ui::PageContext ctx{rig.dm, rig.prompts, rig.statusBar, clock};
    GraphHash group{ctx};
    std::array<std::uint8_t, 16> key{};
};

} // namespace

TEST(GraphHash, PlusTwentyJustBeforeMidnightSendsTenPastAndMarksTheLastEdit)
{
    HashRig r(QTime(23, 59, 55));
    ASSERT_NE(r.key, (std::array<std::uint8_t, 16>{}));
    r.press(6); // "+20"
    const QByteArray sent = timedDigest(0, 0, 10, r.key);
    const auto requests = r.rig.received(15);
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(requests.back().data()) + 6, 20), sent);

    EXPECT_EQ(r.text("Label81"), QStringLiteral("Время 50"));
    EXPECT_EQ(r.text("TimeEdit"), QStringLiteral("23:59:55  00:00:10"));
    // The controller takes 23:59:40 .. 00:00:00 only: this answer is its refusal.
    EXPECT_EQ(r.text("AnserHashEdit"), QString(40, QLatin1Char('0')));
    EXPECT_EQ(r.text("HashEdit5"), hex(sent));
    EXPECT_EQ(r.text("HashEdit1"), hex(timedDigest(23, 59, 30, r.key)));
    EXPECT_EQ(r.text("TimeLabel1"), QStringLiteral("23:59:30"));
    EXPECT_EQ(r.text("TimeLabel5"), QStringLiteral("00:00:10"));
    EXPECT_EQ(r.text("TimeLabel3"), QStringLiteral("<none>"));
    for (int n = 1; n <= 5; ++n)
        EXPECT_EQ(r.group.isMarked(n), n == 5) << n;
    EXPECT_EQ(r.group.candidateEdit(5)->palette().color(QPalette::Text), QColor(Qt::red));
    EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(r.rig.image().hashDigest.data()), 20),
              sent);
}

TEST(GraphHash, AnAcceptedTimeShowsTheControllersConfirmation)
{
    HashRig r(QTime(23, 59, 55));
    r.press(5); // "+10": 00:00:00, within the controller's window
    const QByteArray sent = timedDigest(0, 0, 0, r.key);
    EXPECT_EQ(r.text("AnserHashEdit"), hex(qtSha1(sent)));
    EXPECT_TRUE(r.group.isMarked(4));
    // The digest left behind is the last candidate's, not the one sent.
    EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(r.rig.image().hashDigest.data()), 20),
              timedDigest(0, 0, 10, r.key));
}

TEST(GraphHash, MinusThirtyAtNoonPastFiveMarksNoEditAndResetsTheLastMark)
{
    HashRig r(QTime(12, 0, 5));
    r.press(4); // "0": marks the middle edit
    ASSERT_TRUE(r.group.isMarked(3));
    r.press(1); // "-30"
    EXPECT_EQ(r.text("Label81"), QStringLiteral("Время 0"));
    EXPECT_EQ(r.text("TimeEdit"), QStringLiteral("12:00:05  11:59:30"));
    EXPECT_EQ(r.text("AnserHashEdit"), QString(40, QLatin1Char('0')));
    const char *times[] = {"11:59:40", "11:59:50", nullptr, "12:00:10", "12:00:20"};
    for (int n = 1; n <= 5; ++n) {
        EXPECT_FALSE(r.group.isMarked(n)) << n;
        if (times[n - 1]) {
            EXPECT_EQ(r.text(QStringLiteral("TimeLabel%1").arg(n).toLatin1().constData()),
                      QLatin1String(times[n - 1]));
        }
    }
    EXPECT_EQ(r.text("HashEdit3"), hex(timedDigest(12, 0, 0, r.key)));
}

TEST(GraphHash, ResetButtonSpendsTheControllersKey)
{
    HashRig r(QTime(9, 0, 0));
    auto *reset = r.group.findChild<QToolButton *>(QStringLiteral("SpeedButton3"));
    ASSERT_TRUE(reset);
    EXPECT_EQ(reset->statusTip(), QStringLiteral("Сброс  HASH команды"));
    reset->click();
    ASSERT_TRUE(waitUntil([&] { return r.rig.received(15).back()[1] == 2; }));
    r.press(4); // "0": the right time, but the key is gone
    EXPECT_EQ(r.text("AnserHashEdit"), QString(40, QLatin1Char('0')));
}

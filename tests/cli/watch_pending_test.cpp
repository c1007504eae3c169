// The record of a switch-off a watch still owes: its file, where it lives, and which
// controller it may be settled on. The file is untrusted.
#include "cli/watch_command.h"
#include "cli/watch_pending.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

#include <sys/stat.h>

using namespace vardex;
using cli::PendingMatch;
using cli::PendingStore;
using cli::PendingSwitchOff;

namespace {

PendingSwitchOff record(int output, const char *serial = "24.3.11.2.17.0.4.2.1.9.",
                        const char *node = "/dev/hidraw3")
{
    PendingSwitchOff p;
    p.output = output;
    p.serial = QString::fromUtf8(serial);
    p.node = QString::fromUtf8(node);
    p.since = QDateTime(QDate(2026, 12, 8), QTime(12, 30, 5), Qt::UTC);
    return p;
}

const QByteArray kGood = "vardex pending switch-off 1\n"
                         "output=relay1\n"
                         "serial=24.3.11.2.17.0.4.2.1.9.\n"
                         "node=/dev/hidraw3\n"
                         "since=2026-12-08T12:30:05Z\n";

} // namespace

class PendingRoundTrip : public ::testing::TestWithParam<int> {};

TEST_P(PendingRoundTrip, EveryOutputComesBackAsWritten)
{
    const PendingSwitchOff p = record(GetParam());
    QString why;
    const auto back = cli::decodePending(cli::encodePending(p), &why);
    ASSERT_TRUE(back) << why.toStdString();
    EXPECT_EQ(back->output, p.output);
    EXPECT_EQ(back->serial, p.serial);
    EXPECT_EQ(back->node, p.node);
    EXPECT_EQ(back->since, p.since);
    // The word the record names the output by is the one `--output` takes.
    EXPECT_EQ(cli::watchOutputItem(cli::watchOutputWord(p.output)), p.output);
}

INSTANTIATE_TEST_SUITE_P(Outputs, PendingRoundTrip, ::testing::Values(0, 3, 4, 7, 8, 13));

TEST(PendingRecord, TheLayoutIsTheOneDocumentedAndUnknownSerialsStayEmpty)
{
    EXPECT_EQ(cli::encodePending(record(8)), kGood);
    QString why;
    const auto p = cli::decodePending(cli::encodePending(record(9, "", "")), &why);
    ASSERT_TRUE(p) << why.toStdString();
    EXPECT_TRUE(p->serial.isEmpty());
    EXPECT_TRUE(p->node.isEmpty());
    EXPECT_TRUE(cli::watchOutputWord(14).isEmpty()) << "no relay behind item 14";
}

struct BadRecord {
    const char *name;
    QByteArray bytes;
    const char *reason;
};

class PendingRefused : public ::testing::TestWithParam<BadRecord> {};

TEST_P(PendingRefused, WithTheReason)
{
    QString why;
    EXPECT_FALSE(cli::decodePending(GetParam().bytes, &why));
    EXPECT_TRUE(why.contains(QString::fromUtf8(GetParam().reason))) << why.toStdString();
}

QByteArray replaced(const char *from, const char *to)
{
    QByteArray b = kGood;
    return b.replace(from, to);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PendingRefused,
    ::testing::Values(
        BadRecord{"Empty", "", "не запись"},
        BadRecord{"OtherFormat", replaced("switch-off 1", "switch-off 2"), "не запись"},
        BadRecord{"MissingKey", replaced("node=/dev/hidraw3\n", ""), "нет ключа node"},
        BadRecord{"RepeatedKey", kGood + "output=relay2\n", "повторён"},
        BadRecord{"UnknownKey", kGood + "relays=255\n", "неизвестный ключ"},
        BadRecord{"NoEquals", kGood + "output\n", "ключ=значение"},
        BadRecord{"Relay7", replaced("relay1", "relay7"), "неизвестный выход"},
        BadRecord{"PaddedOutput", replaced("relay1", " relay1"), "неизвестный выход"},
        BadRecord{"BadDate", replaced("2026-12-08", "2026-13-08"), "неверное время"},
        BadRecord{"ControlCharacter", replaced("hidraw3", "hid\x1b[2Jraw3"), "недопустимое"},
        BadRecord{"NotUtf8", replaced("hidraw3", "hid\xff\xferaw3"), "недопустимое"},
        BadRecord{"TooLong", kGood + QByteArray(2000, '#'), "больше 1024 байт"}),
    [](const auto &info) { return std::string(info.param.name); });

struct DirCase {
    const char *name;
    std::map<std::string, QString> env;
    QString dir;
};

class PendingStateDir : public ::testing::TestWithParam<DirCase> {};

TEST_P(PendingStateDir, FollowsSystemdThenTheBaseDirectoryRules)
{
    const auto &env = GetParam().env;
    const QString dir = cli::pendingStateDir([&env](const char *name) {
        const auto it = env.find(name);
        return it == env.end() ? QString() : it->second;
    });
    EXPECT_EQ(dir, GetParam().dir);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PendingStateDir,
    ::testing::Values(
        DirCase{"Systemd",
                {{"STATE_DIRECTORY", "/var/lib/vardex"}, {"XDG_STATE_HOME", "/x"}, {"HOME", "/h"}},
                "/var/lib/vardex"},
        DirCase{"SystemdFirstOfSeveral",
                {{"STATE_DIRECTORY", "/var/lib/vardex:/var/lib/other"}},
                "/var/lib/vardex"},
        DirCase{"RelativeSystemdIgnored",
                {{"STATE_DIRECTORY", "vardex"}, {"XDG_STATE_HOME", "/x/"}},
                "/x/vardex"},
        DirCase{"XdgStateHome", {{"XDG_STATE_HOME", "/x"}, {"HOME", "/h"}}, "/x/vardex"},
        DirCase{"RelativeXdgIgnored",
                {{"XDG_STATE_HOME", "state"}, {"HOME", "/home/e"}},
                "/home/e/.local/state/vardex"},
        DirCase{"Home", {{"HOME", "/home/e"}}, "/home/e/.local/state/vardex"},
        DirCase{"Nothing", {}, ""}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(PendingMatch, TheSerialDecidesAndWithoutOneOnlyTheSameNode)
{
    const PendingSwitchOff known = record(8, "1.2.", "/dev/hidraw3");
    const PendingSwitchOff unknown = record(8, "", "/dev/hidraw3");
    struct Row {
        const PendingSwitchOff &p;
        const char *serial, *node;
        PendingMatch match;
    };
    const Row rows[] = {
        {known, "1.2.", "/dev/hidraw7", PendingMatch::SameController},  // plugged in again
        {known, "1.3.", "/dev/hidraw3", PendingMatch::OtherController}, // another in its place
        {known, "", "/dev/hidraw3", PendingMatch::SameController},
        {known, "", "/dev/hidraw4", PendingMatch::OtherController},
        {unknown, "1.2.", "/dev/hidraw3", PendingMatch::SameController},
        {unknown, "1.2.", "/dev/hidraw4", PendingMatch::OtherController},
        {record(8, "", ""), "", "", PendingMatch::OtherController},
    };
    for (const Row &r : rows)
        EXPECT_EQ(cli::matchPending(r.p, QString::fromUtf8(r.serial), QString::fromUtf8(r.node)),
                  r.match)
            << r.p.serial.toStdString() << " " << r.serial << " " << r.node;
}

struct StoreRig : ::testing::Test {
    QTemporaryDir tmp;
    QString dir() const { return tmp.path() + QStringLiteral("/state/vardex"); }
};

TEST_F(StoreRig, SavesLoadsAndRemovesOneFilePerOutputMakingTheFolder)
{
    const PendingStore relay1(dir(), 8);
    const PendingStore h2(dir(), 1);
    EXPECT_EQ(relay1.path(), dir() + "/switch-off-relay1.pending");
    EXPECT_EQ(relay1.load().state, PendingStore::Loaded::State::None);
    QString why;
    ASSERT_TRUE(relay1.save(record(8), &why)) << why.toStdString();
    EXPECT_EQ(h2.load().state, PendingStore::Loaded::State::None);
    const PendingStore::Loaded l = relay1.load();
    ASSERT_EQ(l.state, PendingStore::Loaded::State::Valid) << l.why.toStdString();
    EXPECT_EQ(l.pending.serial, record(8).serial);
    EXPECT_TRUE(relay1.remove(&why));
    EXPECT_FALSE(QFile::exists(relay1.path()));
    EXPECT_TRUE(relay1.remove(&why)) << "nothing left is what remove promises";
}

TEST_F(StoreRig, AnOversizedOrFolderRecordIsUnreadableAndKept)
{
    const PendingStore store(dir(), 8);
    ASSERT_TRUE(QDir().mkpath(dir()));
    QFile big(store.path());
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    big.write(kGood + QByteArray(1 << 20, '\n'));
    big.close();
    PendingStore::Loaded l = store.load();
    EXPECT_EQ(l.state, PendingStore::Loaded::State::Unreadable);
    EXPECT_TRUE(l.why.contains("1024")) << l.why.toStdString();
    EXPECT_TRUE(QFile::exists(store.path()));

    // A folder, a pipe (reading it would block the start) or a dangling link where the
    // record should be.
    ASSERT_TRUE(QFile::remove(store.path()));
    ASSERT_TRUE(QDir().mkpath(store.path()));
    l = store.load();
    EXPECT_EQ(l.state, PendingStore::Loaded::State::Unreadable);
    EXPECT_EQ(l.why, "не обычный файл");
    ASSERT_TRUE(QDir().rmdir(store.path()));
    ASSERT_EQ(::mkfifo(QFile::encodeName(store.path()).constData(), 0600), 0);
    l = store.load();
    EXPECT_EQ(l.state, PendingStore::Loaded::State::Unreadable);
    EXPECT_EQ(l.why, "не обычный файл");
    ASSERT_TRUE(QFile::remove(store.path()));
    ASSERT_TRUE(QFile::link(tmp.path() + "/nowhere", store.path()));
    EXPECT_EQ(store.load().state, PendingStore::Loaded::State::Unreadable);
}

TEST_F(StoreRig, ASaveThatCannotBeMadeSaysWhyAndKeepsTheOldRecord)
{
    QString why;
    // A file where the folder should be: no folder can be made, root or not.
    QFile blocker(tmp.path() + "/state");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_FALSE(PendingStore(dir(), 8).save(record(8), &why));
    EXPECT_TRUE(why.contains(dir())) << why.toStdString();

    why.clear();
    EXPECT_FALSE(PendingStore(QString(), 8).save(record(8), &why));
    EXPECT_TRUE(why.contains("STATE_DIRECTORY")) << why.toStdString();
}

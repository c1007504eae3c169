#include "link/owner.h"

#include <gtest/gtest.h>

using namespace vardex::link;

namespace {

struct RecordCase {
    const char *name;
    const char *bytes;
    bool whole;
};

class OwnerRecordBytes : public ::testing::TestWithParam<RecordCase> {};

} // namespace

TEST(OwnerRecord, RoundTripsWithALineBreakInAValueFlattened)
{
    const OwnerRecord r{QStringLiteral("vardex-cli watch"), 4242,
                        QStringLiteral("vardex-watch@router.service"), true};
    EXPECT_EQ(decodeOwnerRecord(encodeOwnerRecord(r)), r);
    OwnerRecord odd = r;
    odd.program = QStringLiteral("vardex\nend");
    const auto back = decodeOwnerRecord(encodeOwnerRecord(odd));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->program, QStringLiteral("vardex end"));
}

TEST_P(OwnerRecordBytes, IsTakenOnlyWhenWhole)
{
    EXPECT_EQ(decodeOwnerRecord(QByteArray(GetParam().bytes)).has_value(), GetParam().whole);
}

INSTANTIATE_TEST_SUITE_P(
    Records, OwnerRecordBytes,
    ::testing::Values(RecordCase{"Whole", "program=vardex\npid=7\nlends=0\nend\n", true},
                      RecordCase{"NewerKeysSkipped", "program=vardex\npid=7\nseat=1\nend\n", true},
                      // A holder still writing its record: the end line is missing.
                      RecordCase{"HalfWritten", "program=vardex\npid=7\nlen", false},
                      RecordCase{"Empty", "", false},
                      RecordCase{"NoPid", "program=vardex\nend\n", false},
                      RecordCase{"PidNotANumber", "program=vardex\npid=x\nend\n", false},
                      RecordCase{"PidZero", "program=vardex\npid=0\nend\n", false},
                      RecordCase{"NoProgram", "pid=7\nend\n", false},
                      RecordCase{"LineWithoutKey", "program=vardex\npid=7\nrubbish\nend\n", false},
                      RecordCase{"TextAfterEnd", "program=vardex\npid=7\nend\nmore\n", false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(OwnerRecord, TooLongIsNotOne)
{
    QByteArray bytes = "program=" + QByteArray(kOwnerRecordMaxBytes, 'a') + "\npid=1\nend\n";
    EXPECT_FALSE(decodeOwnerRecord(bytes));
}

TEST(OwnerHeldText, NamesTheHolderAndWhatToDo)
{
    const OwnerRecord window{QStringLiteral("vardex"), 12, {}, false};
    EXPECT_EQ(
        heldText(window),
        QStringLiteral("контроллер занят: его держит vardex (pid 12); закройте эту программу"));
    const OwnerRecord unit{QStringLiteral("vardex-cli watch"), 13,
                           QStringLiteral("vardex-watch@a.service"), false};
    EXPECT_TRUE(heldText(unit).contains(
        QStringLiteral("vardex-cli watch (pid 13, служба vardex-watch@a.service)")));
    EXPECT_TRUE(heldText(unit).contains(QStringLiteral("systemctl stop vardex-watch@a.service")));
    EXPECT_EQ(heldText(std::nullopt), QStringLiteral("контроллер занят другой программой"));
}

TEST(OwnerKey, KeepsOnlyCharactersAFileNameTakes)
{
    EXPECT_EQ(ownerKeyForSerial(QStringLiteral("QB-0042")), QStringLiteral("serial-QB-0042"));
    EXPECT_EQ(ownerKeyForSerial(QStringLiteral("../../etc/x y")),
              QStringLiteral("serial-.._.._etc_x_y"));
    EXPECT_EQ(ownerKeyForPath(QStringLiteral("usb1/1-2/1-2:1.0")),
              QStringLiteral("path-usb1_1-2_1-2_1.0"));
    EXPECT_EQ(ownerKeyForSimulated(QStringLiteral("sim:demo")), QStringLiteral("sim-demo"));
    EXPECT_LE(ownerKeyForSerial(QString(500, QLatin1Char('s'))).size(), 120);
}

namespace {

struct ExchangeCase {
    const char *name;
    std::vector<const char *> chunks; // as they arrive
    bool closedAfter;
    BorrowExchange::State state;
    int patienceMs;
};

class BorrowExchangeLines : public ::testing::TestWithParam<ExchangeCase> {};

} // namespace

TEST_P(BorrowExchangeLines, EndWhereTheHolderLeftThem)
{
    BorrowExchange e;
    for (const char *chunk : GetParam().chunks)
        e.feed(QByteArray(chunk));
    if (GetParam().closedAfter)
        e.closed();
    EXPECT_EQ(e.state(), GetParam().state);
    EXPECT_EQ(e.patienceMs(), GetParam().patienceMs);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, BorrowExchangeLines,
    ::testing::Values(
        ExchangeCase{"LentAtOnce", {"lent\n"}, false, BorrowExchange::State::Lent, 2000},
        // A pulse under way: the wait it announces extends the patience.
        ExchangeCase{"WaitThenLent",
                     {"wait 5000\n", "le", "nt\n"},
                     false,
                     BorrowExchange::State::Lent,
                     7000},
        ExchangeCase{"WaitOnly", {"wait 300\n"}, false, BorrowExchange::State::Waiting, 2300},
        ExchangeCase{"Refused", {"refused занят\n"}, false, BorrowExchange::State::Refused, 2000},
        // The holder died or dropped the connection mid-request.
        ExchangeCase{
            "ClosedWhileWaiting", {"wait 300\n"}, true, BorrowExchange::State::Broken, 2300},
        ExchangeCase{
            "ClosedAfterLentStaysLent", {"lent\n"}, true, BorrowExchange::State::Lent, 2000},
        ExchangeCase{"Garbage", {"hello\n"}, false, BorrowExchange::State::Broken, 2000},
        ExchangeCase{
            "WaitBeyondADay", {"wait 999999999\n"}, false, BorrowExchange::State::Broken, 2000},
        ExchangeCase{"NegativeWait", {"wait -5\n"}, false, BorrowExchange::State::Broken, 2000}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(BorrowExchange, ALineThatNeverEndsIsBroken)
{
    BorrowExchange e;
    e.feed(QByteArray(kLendLineMaxBytes + 1, 'w'));
    EXPECT_EQ(e.state(), BorrowExchange::State::Broken);
}

TEST(BorrowExchange, TheRefusalKeepsTheHoldersWords)
{
    BorrowExchange e;
    e.feed(lendRefusedLine(QStringLiteral("контроллер уже\nотдан")));
    EXPECT_EQ(e.refusal(), QStringLiteral("контроллер уже отдан"));
}

TEST(LendRequestReader, TakesTheBorrowerOnceItsEmptyLineArrives)
{
    const OwnerRecord me{QStringLiteral("vardex-cli state"), 99, {}, false};
    const QByteArray request = encodeBorrowRequest(me);
    LendRequestReader r;
    EXPECT_FALSE(r.feed(request.left(10)));
    EXPECT_TRUE(r.feed(request.mid(10)));
    ASSERT_TRUE(r.borrower());
    EXPECT_EQ(*r.borrower(), me);

    LendRequestReader bad;
    EXPECT_TRUE(bad.feed("nonsense\n\n"));
    EXPECT_TRUE(bad.broken());
    LendRequestReader endless;
    EXPECT_TRUE(endless.feed(QByteArray(kOwnerRecordMaxBytes + 2, 'x')));
    EXPECT_TRUE(endless.broken());
}

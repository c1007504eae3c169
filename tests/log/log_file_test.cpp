#include "log/log_file.h"
#include "log/sensor_resolutions.h"

#include "support/log_records.h"
#include "support/test_support.h"

#include <QFileInfo>
#include <QRandomGenerator>

#include <gtest/gtest.h>

using namespace vardex;
using namespace vardex::log;

namespace {

struct CompanionCase {
    const char *name;
    QByteArray text;
    std::optional<TemperatureResolutions> codes;
};

class CompanionDecode : public ::testing::TestWithParam<CompanionCase> {};

} // namespace

TEST_P(CompanionDecode, TakesOnlySixCodesOfZeroToThreeUnderItsOwnFirstLine)
{
    const CompanionCase &c = GetParam();
    EXPECT_EQ(decodeCompanion(c.text), c.codes);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, CompanionDecode,
    ::testing::Values(
        CompanionCase{"ours", "vardex sensors 1\nresolution 3 3 2 2 1 0\n",
                      TemperatureResolutions{3, 3, 2, 2, 1, 0}},
        CompanionCase{"crlf_and_spaces", "vardex sensors 1\r\n  resolution  0 1 2 3 0 1 \r\n",
                      TemperatureResolutions{0, 1, 2, 3, 0, 1}},
        CompanionCase{"code_four", "vardex sensors 1\nresolution 3 3 2 2 1 4\n", std::nullopt},
        CompanionCase{"negative", "vardex sensors 1\nresolution 3 3 2 2 1 -1\n", std::nullopt},
        CompanionCase{"five_codes", "vardex sensors 1\nresolution 3 3 2 2 1\n", std::nullopt},
        CompanionCase{"seven_codes", "vardex sensors 1\nresolution 3 3 2 2 1 0 0\n", std::nullopt},
        CompanionCase{"no_first_line", "resolution 3 3 2 2 1 0\n", std::nullopt},
        CompanionCase{"words", "vardex sensors 1\nresolution a b c d e f\n", std::nullopt},
        CompanionCase{"no_codes", "vardex sensors 1\n", std::nullopt},
        CompanionCase{"binary", QByteArray("\x00\xff\x10vardex", 9), std::nullopt}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(LogCompanion, EncodedCodesDecodeBackAndSitBesideTheLogUnderItsBaseName)
{
    const TemperatureResolutions codes = {3, 3, 2, 2, 1, 0};
    EXPECT_EQ(decodeCompanion(encodeCompanion(codes)), codes);
    EXPECT_EQ(companionPath(QStringLiteral("/a/b/site.log")), QStringLiteral("/a/b/site.sensors"));
    EXPECT_EQ(companionPath(QStringLiteral("/a/b/site.v2.LOG")),
              QStringLiteral("/a/b/site.v2.sensors"));
    EXPECT_EQ(companionPath(QStringLiteral("/a/b/dump")), QStringLiteral("/a/b/dump.sensors"));
}

// The *.log keeps its layout of bare records; the codes go beside it, and a save
// without known codes removes a companion an older log of that name left.
TEST(LogFileSave, CompanionIsWrittenWithKnownCodesAndRemovedWithout)
{
    const RecordStore store = test::craftedLogStore(3);
    const QString path = test::tempPath(QStringLiteral("companion-save.log"));
    const TemperatureResolutions codes = {1, 2, 3, 0, 1, 2};

    const LogSaveResult saved = saveLogFile(path, store, codes);
    ASSERT_TRUE(saved.ok()) << saved.message().toStdString();
    EXPECT_EQ(test::readFile(path), store.fileBytes());
    EXPECT_EQ(QFileInfo(path).size(), 3 * 84);
    EXPECT_EQ(loadCompanion(path), codes);

    RecordStore loadedStore;
    const LogLoadResult loaded = loadLogFile(path, loadedStore);
    EXPECT_EQ(loaded.records, 3);
    EXPECT_EQ(loaded.resolutions, codes);
    EXPECT_TRUE(loaded.notice.isEmpty()) << loaded.notice.toStdString();

    ASSERT_TRUE(saveLogFile(path, store).ok());
    EXPECT_FALSE(QFileInfo::exists(companionPath(path)));
    EXPECT_EQ(loadLogFile(path, loadedStore).resolutions, std::nullopt);
}

namespace {

struct BadDateCase {
    const char *name;
    QByteArray bytes;
    int records;
    int bad;
};

QByteArray recordsWithMonths(std::initializer_list<int> months)
{
    QByteArray out;
    for (int month : months) {
        LogRecord r = test::logRecordAt(25, month, 10);
        const auto b = r.encode();
        out.append(reinterpret_cast<const char *>(b.data()), qsizetype(b.size()));
    }
    return out;
}

QByteArray randomBytes(int size)
{
    QRandomGenerator generator(25);
    QByteArray out(size, '\0');
    for (char &c : out)
        c = char(generator.bounded(256));
    return out;
}

class LogLoadDates : public ::testing::TestWithParam<BadDateCase> {};

} // namespace

TEST_P(LogLoadDates, RecordsWithImpossibleDatesAreCountedAndTold)
{
    const BadDateCase &c = GetParam();
    const QString path = test::tempPath(QStringLiteral("dates-%1.log").arg(c.name));
    test::writeFile(path, c.bytes);
    RecordStore store;
    const LogLoadResult loaded = loadLogFile(path, store);
    ASSERT_TRUE(loaded.file.ok);
    // Nothing the format allows is refused: every whole record is in the store.
    EXPECT_EQ(loaded.records, c.records);
    EXPECT_EQ(store.count(), c.records);
    EXPECT_EQ(loaded.badDates, c.bad);
    if (c.bad == 0) {
        EXPECT_TRUE(loaded.notice.isEmpty()) << loaded.notice.toStdString();
    } else {
        EXPECT_TRUE(loaded.notice.contains(
            QStringLiteral("%1 из %2 записей с неверной датой").arg(c.bad).arg(c.records)))
            << loaded.notice.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, LogLoadDates,
    ::testing::Values(BadDateCase{"good", recordsWithMonths({1, 6, 12}), 3, 0},
                      BadDateCase{"month_13_and_0", recordsWithMonths({1, 13, 0, 12}), 4, 2},
                      // 1000 bytes that are no log: 11 whole records, none a date.
                      BadDateCase{"random", randomBytes(1000), 11, 11}),
    [](const auto &info) { return std::string(info.param.name); });

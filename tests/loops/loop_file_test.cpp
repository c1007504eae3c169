#include "link/device_image.h"
#include "loops/loop_file.h"
#include "support/test_support.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace vardex;
using namespace vardex::loops;

namespace {

const QString kGolden = QStringLiteral(VARDEX_TEST_DATA "/loops_fw24.upr");

} // namespace

TEST(LoopFile, SizeFollowsFirmwareVersionAtSaving)
{
    link::DeviceImage image;
    image.loopExt(1).timerOff = 0x1234;
    const QString path = test::tempPath(QStringLiteral("size.upr"));
    files::FileResult r;
    image.config.firmwareVersion = 23;
    ASSERT_TRUE((r = saveLoopFile(path, image)).ok) << r.reason.toStdString();
    EXPECT_EQ(test::readFile(path).size(), 2132);
    image.config.firmwareVersion = 24;
    ASSERT_TRUE((r = saveLoopFile(path, image)).ok);
    const QByteArray bytes = test::readFile(path);
    ASSERT_EQ(bytes.size(), 2444);
    EXPECT_EQ(static_cast<std::uint8_t>(bytes[2132]), 0x34);
    EXPECT_EQ(static_cast<std::uint8_t>(bytes[2133]), 0x12);
}

TEST(LoopFile, GoldenFileLoadsFieldByField)
{
    link::DeviceImage image;
    image.config.firmwareVersion = 24;
    files::FileResult r;
    ASSERT_TRUE((r = loadLoopFile(kGolden, image)).ok) << r.reason.toStdString();
    const link::UprLoopConfig &l = image.loop(7);
    EXPECT_EQ(l.contactUse, 7);
    EXPECT_EQ(l.ttlInputUse, 0x87);
    EXPECT_EQ(l.hostControl, 3);
    EXPECT_EQ(l.fill5, 0xA7);
    EXPECT_EQ(l.analogLevelLo[2], -(700 + 14));
    EXPECT_EQ(l.analogLevelHi[5], 700 + 35);
    EXPECT_EQ(l.contactMode[0], 1); // 7 = 0b111
    EXPECT_EQ(l.contactMode[3], 0);
    const link::UprLoopConfigExt &x = image.loopExt(26);
    EXPECT_EQ(x.timerOff, 260);
    EXPECT_EQ(x.timerOn, 574);
    EXPECT_EQ(x.usbMode, 0x04);
    EXPECT_EQ(x.outputMask, 0x80000001u);

    // Saving the same image reproduces the file byte for byte.
    const QString copy = test::tempPath(QStringLiteral("golden-copy.upr"));
    ASSERT_TRUE((r = saveLoopFile(copy, image)).ok);
    EXPECT_EQ(test::readFile(copy), test::readFile(kGolden));
}

TEST(LoopFile, ExtendedBlockIsIgnoredWithoutExtendedFirmware)
{
    link::DeviceImage image; // firmware 0: nothing read yet
    image.loopExt(3).dimmer = 77;
    files::FileResult r;
    ASSERT_TRUE((r = loadLoopFile(kGolden, image)).ok);
    EXPECT_EQ(image.loop(3).contactUse, 3);
    EXPECT_EQ(image.loopExt(3).dimmer, 77);
    EXPECT_EQ(image.loopExt(1).timerOff, 0);
}

TEST(LoopFile, MainOnlyFileKeepsExtendedRecords)
{
    link::DeviceImage image;
    image.config.firmwareVersion = 30;
    image.loopExt(26).pulseNumber = 9;
    const QString path = test::tempPath(QStringLiteral("main-only.upr"));
    test::writeFile(path, test::readFile(kGolden).left(2132));
    files::FileResult r;
    ASSERT_TRUE((r = loadLoopFile(path, image)).ok);
    EXPECT_EQ(image.loop(26).contactUse, 26);
    EXPECT_EQ(image.loopExt(26).pulseNumber, 9);
}

TEST(LoopFile, ShortFileFillsOnlyItsLeadingBytes)
{
    link::DeviceImage image;
    image.loop(2).contactUse = 0x55;
    image.loop(2).analogLevelLo[0] = 1234;
    image.loop(2).analogLevelLo[1] = 4321;
    const QString path = test::tempPath(QStringLiteral("short.upr"));
    // Loop 1 complete, loop 2 cut inside its first level (low byte only).
    test::writeFile(path, test::readFile(kGolden).left(82 + 7));
    files::FileResult r;
    ASSERT_TRUE((r = loadLoopFile(path, image)).ok);
    EXPECT_EQ(image.loop(1).contactUse, 1);
    EXPECT_EQ(image.loop(2).contactUse, 2);
    const auto lo0 = static_cast<std::uint16_t>(image.loop(2).analogLevelLo[0]);
    EXPECT_EQ(lo0 & 0xFF, static_cast<std::uint16_t>(-200) & 0xFF);
    EXPECT_EQ(lo0 >> 8, 1234 >> 8);
    EXPECT_EQ(image.loop(2).analogLevelLo[1], 4321);
}

TEST(LoopFile, OversizedFileReadsOnlyWhatTheImageTakes)
{
    link::DeviceImage image;
    image.config.firmwareVersion = 24;
    const QString path = test::tempPath(QStringLiteral("big.upr"));
    QByteArray bytes = test::readFile(kGolden);
    bytes.append(QByteArray(1 << 20, '\x7F'));
    test::writeFile(path, bytes);
    files::FileResult r;
    ASSERT_TRUE((r = loadLoopFile(path, image)).ok);
    EXPECT_EQ(image.loopExt(26).timerOff, 260);
}

TEST(LoopFile, UnreadableFileLeavesTheImageAndSaysWhy)
{
    link::DeviceImage image;
    image.loop(1).contactUse = 0x42;
    files::FileResult r;
    EXPECT_FALSE(
        (r = loadLoopFile(test::tempPath(QStringLiteral("does-not-exist.upr")), image)).ok);
    EXPECT_FALSE(r.reason.isEmpty());
    EXPECT_EQ(image.loop(1).contactUse, 0x42);
    // A folder opens but cannot be read.
    r = {};
    EXPECT_FALSE((r = loadLoopFile(QDir::tempPath(), image)).ok);
    EXPECT_FALSE(r.reason.isEmpty());
    EXPECT_EQ(image.loop(1).contactUse, 0x42);
}

TEST(LoopFile, SaveIntoMissingFolderSaysWhy)
{
    link::DeviceImage image;
    files::FileResult r;
    EXPECT_FALSE((r = saveLoopFile(test::tempPath(QStringLiteral("no-such-dir/x.upr")), image)).ok);
    EXPECT_FALSE(r.reason.isEmpty());
}

TEST(LoopFile, ClearKeepsOnlyTheFillByte)
{
    link::DeviceImage image;
    image.config.firmwareVersion = 24;
    files::FileResult r;
    ASSERT_TRUE((r = loadLoopFile(kGolden, image)).ok);
    image.config.firmwareVersion = 30;
    clearLoops(image);
    const std::vector<std::uint8_t> file = image.encodeLoopFile();
    ASSERT_EQ(file.size(), 2444u);
    for (std::size_t i = 0; i < file.size(); ++i) {
        const bool fill = i < 2132 && i % 82 == 5;
        if (fill)
            EXPECT_EQ(file[i], 0xA0 + i / 82 + 1) << i;
        else
            EXPECT_EQ(file[i], 0) << i;
    }
}

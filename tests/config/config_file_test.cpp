#include "config/config_file.h"
#include "link/bytes.h"
#include "support/test_support.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace vardex;
using config::clearConfig;
using config::loadConfigFile;
using config::saveConfigFile;
using link::MonitorConfig;

namespace {

std::span<const std::uint8_t> span(const QByteArray &b)
{
    return {reinterpret_cast<const std::uint8_t *>(b.constData()),
            static_cast<std::size_t>(b.size())};
}

QString golden(const char *name)
{
    return QStringLiteral(VARDEX_TEST_DATA "/") + QLatin1String(name);
}

} // namespace

TEST(ConfigFile, FreshImageSavesAs224ZeroBytes)
{
    const QString path = test::tempPath("fresh.cfg");
    ASSERT_TRUE(saveConfigFile(path, MonitorConfig{}).ok);
    EXPECT_EQ(test::readFile(path), QByteArray(224, '\0'));
}

TEST(ConfigFile, SaveThenLoadGivesTheSameBlock)
{
    MonitorConfig original;
    ASSERT_TRUE(loadConfigFile(golden("full.cfg"), original).ok);
    const QString path = test::tempPath("roundtrip.cfg");
    ASSERT_TRUE(saveConfigFile(path, original).ok);
    MonitorConfig loaded;
    ASSERT_TRUE(loadConfigFile(path, loaded).ok);
    EXPECT_EQ(loaded.encode(), original.encode());
    EXPECT_EQ(test::readFile(path), test::readFile(golden("full.cfg")));
}

TEST(ConfigFile, GoldenFullFileDecodesFieldByField)
{
    MonitorConfig c;
    ASSERT_TRUE(loadConfigFile(golden("full.cfg"), c).ok);
    EXPECT_EQ(c.firmwareVersion, 24);
    EXPECT_EQ(c.buildVariant, 3);
    EXPECT_EQ(c.hardwareConfigNumber, 17);
    EXPECT_EQ(c.reserved0, 0x5A);
    EXPECT_EQ(c.contactEnable, 0x81);
    EXPECT_EQ(c.ttlInputEnable, 0x0F);
    EXPECT_EQ(c.analogEnable, 0x2D);
    EXPECT_EQ(c.temperEnable, 0x3F);
    EXPECT_EQ(c.ttlOutputEnable, 0xA5);
    EXPECT_EQ(c.switchEnable, 0x2F);
    EXPECT_EQ(c.relayEnable, 0x15);
    EXPECT_EQ(c.fanEnable, 0x09);
    EXPECT_FLOAT_EQ(c.analogA[0], 0.0048828125f);
    EXPECT_FLOAT_EQ(c.analogA[1], 0.3f);
    EXPECT_FLOAT_EQ(c.analogA[5], 1000.25f);
    EXPECT_FLOAT_EQ(c.analogB[1], -1.0f);
    EXPECT_FLOAT_EQ(c.analogB[5], -32768.0f);
    EXPECT_EQ(c.dallasResolution[3], 3);
    EXPECT_EQ(c.fanMin[2], 100);
    EXPECT_EQ(c.fanImpulse[3], 3);
    EXPECT_EQ(c.fill74[0], 0xDE);
    EXPECT_EQ(c.fill74[1], 0xAD);
    EXPECT_EQ(c.analogAlarmLow[4], 65535);
    EXPECT_EQ(c.analogAlarmLow[5], 70000);
    EXPECT_EQ(c.analogAlarmHigh[1], 4095);
    EXPECT_EQ(c.temperAlarmLow[0], -80);
    EXPECT_EQ(c.temperAlarmLow[1], 65456);
    EXPECT_EQ(c.temperAlarmHigh[4], 2000);
    EXPECT_EQ(c.analogAlarmDebounce[3], 255);
    EXPECT_EQ(c.dallasAlarmDebounce[0], 9);
    EXPECT_EQ(c.logPeriod, 1);
    EXPECT_EQ(c.logAlarmPeriod, 3);
    EXPECT_EQ(c.analogLogEnable, 0x15);
    EXPECT_EQ(c.dallasLogEnable, 0x22);
}

TEST(ConfigFile, ClearGivesTheGoldenDefaultsAndKeepsVersionReservedAndFill)
{
    MonitorConfig c;
    ASSERT_TRUE(loadConfigFile(golden("full.cfg"), c).ok);
    clearConfig(c);
    const auto bytes = c.encode();
    const QByteArray cleared = test::readFile(golden("cleared.cfg"));
    ASSERT_EQ(cleared.size(), 224);
    // Everything but the kept bytes equals the defaults file.
    for (int i = 0; i < 224; ++i) {
        if (i == 0 || i == 1 || i == 3 || i == 74 || i == 75)
            continue;
        EXPECT_EQ(bytes[i], static_cast<std::uint8_t>(cleared[i])) << "offset " << i;
    }
    EXPECT_EQ(bytes[0], 24);
    EXPECT_EQ(bytes[1], 3);
    EXPECT_EQ(bytes[3], 0x5A);
    EXPECT_EQ(bytes[74], 0xDE);
    EXPECT_EQ(bytes[75], 0xAD);
    // Spot checks of the defaults file itself, read as the controller would.
    EXPECT_FLOAT_EQ(bytes::f32(span(cleared), 12), 1.0f);
    EXPECT_EQ(bytes::i32(span(cleared), 100), 1023);
    EXPECT_EQ(bytes::i32(span(cleared), 148), 200);
    EXPECT_EQ(bytes::u8(span(cleared), 66), 10);
    EXPECT_EQ(bytes::u8(span(cleared), 70), 2);
    EXPECT_EQ(bytes::u8(span(cleared), 220), 4);
    EXPECT_EQ(bytes::u8(span(cleared), 221), 2);
}

TEST(ConfigFile, ShortFileReplacesOnlyItsLeadingBytes)
{
    MonitorConfig c;
    ASSERT_TRUE(loadConfigFile(golden("full.cfg"), c).ok);
    const QString path = test::tempPath("short.cfg");
    test::writeFile(path, QByteArray(100, '\x11'));
    ASSERT_TRUE(loadConfigFile(path, c).ok);
    const auto bytes = c.encode();
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(bytes[i], 0x11) << i;
    // TemperAlarmLow from offset 124 on keeps its former values.
    EXPECT_EQ(c.temperAlarmLow[0], -80);
    EXPECT_EQ(c.temperAlarmLow[1], 65456);
    EXPECT_EQ(c.logPeriod, 1);
    // Bytes 100..123 (AnalogAlarmHigh) are beyond the file too.
    EXPECT_EQ(c.analogAlarmHigh[1], 4095);
}

TEST(ConfigFile, EmptyFileChangesNothing)
{
    MonitorConfig c;
    ASSERT_TRUE(loadConfigFile(golden("full.cfg"), c).ok);
    const auto before = c.encode();
    const QString path = test::tempPath("empty.cfg");
    test::writeFile(path, {});
    ASSERT_TRUE(loadConfigFile(path, c).ok);
    EXPECT_EQ(c.encode(), before);
}

TEST(ConfigFile, BytesAfter224AreIgnored)
{
    QByteArray content = test::readFile(golden("full.cfg"));
    content.append(QByteArray(76, '\x77'));
    const QString path = test::tempPath("long.cfg");
    test::writeFile(path, content);
    MonitorConfig c;
    ASSERT_TRUE(loadConfigFile(path, c).ok);
    const auto bytes = c.encode();
    EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(bytes.data()), 224),
              test::readFile(golden("full.cfg")));
}

TEST(ConfigFile, HugeFileReadsOnlyTheBlock)
{
    const QString path = test::tempPath("huge.cfg");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(224, '\x05'));
        // Sparse: 4 GiB on disk costs nothing, but reading it whole would.
        ASSERT_TRUE(f.resize(qint64(4) << 30));
    }
    MonitorConfig c;
    ASSERT_TRUE(loadConfigFile(path, c).ok);
    EXPECT_EQ(c.firmwareVersion, 5);
    EXPECT_EQ(c.dallasLogEnable, 5);
    QFile::remove(path);
}

TEST(ConfigFile, SavingOverALongerFileLeavesExactly224Bytes)
{
    const QString path = test::tempPath("over.cfg");
    test::writeFile(path, QByteArray(300, '\x42'));
    MonitorConfig c;
    c.hardwareConfigNumber = 9;
    ASSERT_TRUE(saveConfigFile(path, c).ok);
    const QByteArray saved = test::readFile(path);
    ASSERT_EQ(saved.size(), 224);
    EXPECT_EQ(saved[2], 9);
    EXPECT_EQ(saved[223], 0);
}

TEST(ConfigFile, FailedSaveNamesTheReasonAndKeepsNothingBehind)
{
    const QString dir = test::tempPath("no-such-dir");
    const QString path = dir + QStringLiteral("/x.cfg");
    const auto result = saveConfigFile(path, MonitorConfig{});
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.reason.isEmpty());
    EXPECT_FALSE(QFile::exists(path));
}

TEST(ConfigFile, FailedLoadLeavesTheBlockUnchanged)
{
    MonitorConfig c;
    ASSERT_TRUE(loadConfigFile(golden("full.cfg"), c).ok);
    const auto before = c.encode();
    const auto missing = loadConfigFile(test::tempPath("missing.cfg"), c);
    EXPECT_FALSE(missing.ok);
    EXPECT_FALSE(missing.reason.isEmpty());
    QDir().mkpath(test::tempPath("folder.cfg"));
    EXPECT_FALSE(loadConfigFile(test::tempPath("folder.cfg"), c).ok);
    EXPECT_EQ(c.encode(), before);
}

TEST(ConfigFile, DisplayNameDropsFolderAndLastExtension)
{
    EXPECT_EQ(config::configDisplayName("/tmp/a/cabinet-7.cfg"), "cabinet-7");
    EXPECT_EQ(config::configDisplayName("/tmp/a/v1.2.cfg"), "v1.2");
    EXPECT_EQ(config::configDisplayName("plain"), "plain");
}

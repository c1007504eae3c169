#include "frame_rig.h"

#include "config/config_file.h"
#include "config/tree_nodes.h"

#include <QFile>

#include "support/test_support.h"

#include <gtest/gtest.h>

using namespace vardex;
using test::FrameRig;

namespace {

} // namespace

TEST(CfgSave, RightAfterStartUpGives224ZeroBytesThroughTheCfgDialogEntry)
{
    FrameRig rig;
    const QString path = test::tempPath("startup.cfg");
    rig.prompts.saveAnswers.push_back(path);
    rig.click("SaveCfgBtn");
    ASSERT_EQ(rig.prompts.saveRequests.size(), 1);
    const ui::FileDialogRequest &r = rig.prompts.saveRequests[0];
    EXPECT_EQ(r.title, "Сохранить конфигурацию монитора терминала");
    EXPECT_EQ(r.filterIndex, 2);
    EXPECT_EQ(r.defaultSuffix, "cfg");
    EXPECT_TRUE(r.fileName.isEmpty());
    EXPECT_EQ(ui::Prompts::qtFilters(r.filter).value(1), "Файл конфигурации *.cfg (*.cfg)");
    EXPECT_EQ(test::readFile(path), QByteArray(224, '\0'));
    EXPECT_EQ(rig.w<QLabel>("ConfigNameLabel")->text(), "startup");
    EXPECT_TRUE(rig.prompts.messages.isEmpty());
}

TEST(CfgSave, CancelledDialogWritesNothing)
{
    FrameRig rig;
    rig.prompts.saveAnswers.push_back(QString());
    rig.click("SaveCfgBtn");
    EXPECT_EQ(rig.w<QLabel>("ConfigNameLabel")->text(), "Имя конфигурации");
    EXPECT_TRUE(rig.prompts.messages.isEmpty());
}

TEST(CfgSave, OverALongerFileLeavesExactly224Bytes)
{
    FrameRig rig;
    const QString path = test::tempPath("existing300.cfg");
    test::writeFile(path, QByteArray(300, '\x33'));
    rig.click("ClearCfgBtn");
    rig.prompts.saveAnswers.push_back(path);
    rig.click("SaveCfgBtn");
    const QByteArray saved = test::readFile(path);
    ASSERT_EQ(saved.size(), 224);
    EXPECT_EQ(saved, test::readFile(QStringLiteral(VARDEX_TEST_DATA "/cleared.cfg")));
}

TEST(CfgSave, FailureIsReportedWithTheFileAndReason)
{
    FrameRig rig;
    const QString path = test::tempPath("absent-folder") + QStringLiteral("/x.cfg");
    rig.prompts.saveAnswers.push_back(path);
    rig.click("SaveCfgBtn");
    ASSERT_EQ(rig.prompts.messages.size(), 1);
    EXPECT_TRUE(rig.prompts.messages[0].contains(path));
    EXPECT_FALSE(QFile::exists(path));
    // The label names the last file actually saved or loaded.
    EXPECT_EQ(rig.w<QLabel>("ConfigNameLabel")->text(), "Имя конфигурации");
}

TEST(CfgLoad, SaveThenLoadKeepsTheImageByteForByte)
{
    FrameRig rig;
    ASSERT_TRUE(
        config::loadConfigFile(QStringLiteral(VARDEX_TEST_DATA "/full.cfg"), rig.config()).ok);
    const auto before = rig.config().encode();
    const QString path = test::tempPath("identity.cfg");
    rig.prompts.saveAnswers.push_back(path);
    rig.click("SaveCfgBtn");
    rig.click("ClearCfgBtn");
    ASSERT_NE(rig.config().encode(), before);
    rig.prompts.openAnswers.push_back(path);
    rig.click("LoadCfgBtn");
    EXPECT_EQ(rig.config().encode(), before);
    ASSERT_EQ(rig.prompts.openRequests.size(), 1);
    const ui::FileDialogRequest &r = rig.prompts.openRequests[0];
    EXPECT_EQ(r.title, "Открыть конфигурацию монитора терминала");
    EXPECT_EQ(r.filterIndex, 2);
    EXPECT_EQ(r.defaultSuffix, "cfg");
    EXPECT_EQ(ui::Prompts::qtFilters(r.filter).value(1), "Файл  конфигурации  *.cfg (*.cfg)");
}

TEST(CfgLoad, FileWithFirmware24MakesExtendedLoopsAvailable)
{
    FrameRig rig;
    rig.config().firmwareVersion = 20;
    EXPECT_FALSE(rig.frame->extendedLoopsAvailable());
    const int changesBefore = rig.configurationChanges;
    rig.prompts.openAnswers.push_back(QStringLiteral(VARDEX_TEST_DATA "/full.cfg"));
    rig.click("LoadCfgBtn");
    EXPECT_TRUE(rig.frame->extendedLoopsAvailable());
    EXPECT_EQ(rig.configurationChanges - changesBefore, 1);
    EXPECT_EQ(rig.w<QLabel>("ConfigNameLabel")->text(), "full");
    // And the pages show it.
    EXPECT_EQ(rig.w<QSpinBox>("SystemConfigNumberEdit")->value(), 17);
    EXPECT_EQ(FrameRig::shown(rig.edit("TemperAlarmLowEdit", 2)), "-20"); // -80 x 0.25
    EXPECT_FALSE(rig.nodeCut(2));                                         // TTL output 1 of 0xA5
    EXPECT_TRUE(rig.nodeCut(3));                                          // TTL output 2
    EXPECT_TRUE(rig.nodeCut(29));                                         // PWM 2 of 0x09
}

TEST(CfgLoad, HundredByteFileKeepsTheTemperatureAlarms)
{
    FrameRig rig;
    ASSERT_TRUE(
        config::loadConfigFile(QStringLiteral(VARDEX_TEST_DATA "/full.cfg"), rig.config()).ok);
    const QString path = test::tempPath("hundred.cfg");
    test::writeFile(path, QByteArray(100, '\0'));
    rig.prompts.openAnswers.push_back(path);
    rig.prompts.questionAnswers.push_back(ui::Prompts::Answer::Yes); // its first bytes, please
    rig.click("LoadCfgBtn");
    EXPECT_EQ(rig.config().firmwareVersion, 0);
    EXPECT_FLOAT_EQ(rig.config().analogA[0], 0.0f);
    EXPECT_EQ(rig.config().temperAlarmLow[0], -80);
    EXPECT_EQ(rig.config().temperAlarmHigh[1], 500);
    EXPECT_EQ(rig.config().analogAlarmHigh[1], 4095);
}

// A file of another size than 224 bytes is asked about before anything changes.
TEST(CfgLoad, FileOfAnotherSizeIsLaidOverOnlyWhenTheEngineerAgrees)
{
    FrameRig rig;
    rig.click("ClearCfgBtn");
    const auto before = rig.config().encode();
    const int changesBefore = rig.configurationChanges;
    const QString path = test::tempPath("odd-size.cfg");
    test::writeFile(path, QByteArray(300, '\x11'));

    rig.prompts.openAnswers.push_back(path);
    rig.prompts.questionAnswers.push_back(ui::Prompts::Answer::No);
    rig.click("LoadCfgBtn");
    ASSERT_EQ(rig.prompts.questions.size(), 1);
    const QString asked = rig.prompts.questions[0];
    EXPECT_TRUE(asked.contains("odd-size.cfg")) << asked.toStdString();
    EXPECT_TRUE(asked.contains("300"));
    EXPECT_TRUE(asked.contains("224"));
    // Enter answers no: one key must not lay a stranger's bytes over the image.
    EXPECT_EQ(rig.prompts.questionDefaults, QList<ui::Prompts::Answer>{ui::Prompts::Answer::No});
    EXPECT_EQ(rig.config().encode(), before);
    EXPECT_EQ(rig.configurationChanges, changesBefore);
    EXPECT_EQ(rig.w<QLabel>("ConfigNameLabel")->text(), "Имя конфигурации");
    EXPECT_TRUE(rig.prompts.messages.isEmpty());

    rig.prompts.openAnswers.push_back(path);
    rig.prompts.questionAnswers.push_back(ui::Prompts::Answer::Yes);
    rig.click("LoadCfgBtn");
    EXPECT_EQ(rig.config().hardwareConfigNumber, 0x11);
    EXPECT_EQ(rig.w<QLabel>("ConfigNameLabel")->text(), "odd-size");
}

TEST(CfgLoad, MissingFileIsReportedAndChangesNothing)
{
    FrameRig rig;
    rig.click("ClearCfgBtn");
    const auto before = rig.config().encode();
    const int changesBefore = rig.configurationChanges;
    const QString path = test::tempPath("not-there.cfg");
    rig.prompts.openAnswers.push_back(path);
    rig.click("LoadCfgBtn");
    ASSERT_EQ(rig.prompts.messages.size(), 1);
    EXPECT_TRUE(rig.prompts.messages[0].contains(path));
    EXPECT_EQ(rig.config().encode(), before);
    EXPECT_EQ(rig.configurationChanges - changesBefore, 0);
    EXPECT_EQ(rig.w<QLabel>("ConfigNameLabel")->text(), "Имя конфигурации");
}

TEST(CfgClear, ShowsTheDefaultsAndGreysEveryOutput)
{
    FrameRig rig;
    ASSERT_TRUE(
        config::loadConfigFile(QStringLiteral(VARDEX_TEST_DATA "/full.cfg"), rig.config()).ok);
    rig.frame->showMonitorConfig();
    const int changesBefore = rig.configurationChanges;
    rig.click("ClearCfgBtn");
    EXPECT_EQ(rig.configurationChanges - changesBefore, 1);
    for (int n = 1; n <= 6; ++n) {
        EXPECT_EQ(FrameRig::shown(rig.edit("AnalogAxEdit", n)), "1") << n;
        EXPECT_EQ(FrameRig::shown(rig.edit("AnalogBxEdit", n)), "0") << n;
        EXPECT_EQ(FrameRig::shown(rig.edit("AnalogAlarmHighEdit", n)), "1023") << n;
        EXPECT_EQ(FrameRig::shown(rig.edit("TemperAlarmHighEdit", n)), "100") << n;
        EXPECT_FALSE(rig.w<QCheckBox>("cbAnalogEnabled", n)->isChecked());
        EXPECT_FALSE(rig.w<QCheckBox>("cbTemperEnabled", n)->isChecked());
        EXPECT_EQ(rig.w<QComboBox>("cbDallasResolution", n)->currentText(), "0.5");
    }
    for (int n = 1; n <= 4; ++n) {
        EXPECT_EQ(rig.w<QComboBox>("cbFanImpuls", n)->currentText(), "8") << n;
        EXPECT_EQ(FrameRig::shown(rig.edit("FanMinEdit", n)), "10");
    }
    EXPECT_EQ(rig.w<QComboBox>("LogPeriodEdit")->currentText(), "5 мин");
    EXPECT_EQ(rig.w<QComboBox>("LogAlarmPeriodEdit")->currentText(), "1 мин");
    for (int n = 1; n <= 8; ++n) {
        EXPECT_FALSE(rig.w<QCheckBox>("cbContactEnabled", n)->isChecked());
        EXPECT_FALSE(rig.w<QCheckBox>("cbTTLOtputEnabled", n)->isChecked());
    }
    for (int loop = 1; loop <= 26; ++loop)
        EXPECT_TRUE(rig.frame->tree()->isNodeCut(config::outputNodeForLoop(loop))) << loop;
    // Clearing keeps what only the controller knows.
    EXPECT_EQ(rig.config().firmwareVersion, 24);
    EXPECT_EQ(rig.config().reserved0, 0x5A);
}

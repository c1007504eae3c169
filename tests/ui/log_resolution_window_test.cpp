#include "config/config_file.h"
#include "description_rig.h"
#include "log/widgets/log_frame.h"
#include "work/value_format.h"

#include <gtest/gtest.h>

using namespace vardex;
using test::DescriptionRig;

namespace {

// The log read without a description: temperatures at code 0, marked.
std::int16_t readLogUndescribed(DescriptionRig &rig)
{
    log::LogFrame *frame = rig.window->logFrame();
    rig.button(QStringLiteral("ReadLogBtn"))->click();
    EXPECT_TRUE(test::waitUntil([&] { return !frame->isReading(); }, 10000));
    const std::int16_t raw = frame->store().record(24).temperatures[0];
    EXPECT_NE(raw, 0);
    EXPECT_FALSE(frame->sensorResolutions().known);
    EXPECT_EQ(rig.label(QStringLiteral("stLogTemper1"))->text(), work::temperatureText(raw, 0));
    return raw;
}

} // namespace

// The window carries a configuration loaded on the configuration tab to the log page at
// once: the shown record is redrawn without stepping to another one.
TEST(LogPageInWindow, ConfigurationLoadedOnTheSetupTabRedrawsTheShownRecord)
{
    DescriptionRig rig(sim::controllerWithLog(24));
    const std::int16_t raw = readLogUndescribed(rig);

    link::MonitorConfig cfg = rig.dm.image().config;
    cfg.dallasResolution = {3, 3, 2, 2, 1, 0};
    const QString path = test::tempPath(QStringLiteral("sensors.cfg"));
    ASSERT_TRUE(config::saveConfigFile(path, cfg).ok);
    rig.prompts.openAnswers.push_back(path);
    rig.button(QStringLiteral("LoadCfgBtn"))->click();

    EXPECT_TRUE(rig.window->logFrame()->sensorResolutions().known);
    EXPECT_EQ(rig.label(QStringLiteral("stLogTemper1"))->text(), work::temperatureText(raw, 3));
}

// Clearing the configuration is no description of the sensors: the values stay marked.
TEST(LogPageInWindow, ClearedConfigurationLeavesTheCodesUnknownAndADescriptionKnowsThem)
{
    DescriptionRig rig(sim::controllerWithLog(24));
    const std::int16_t raw = readLogUndescribed(rig);
    rig.button(QStringLiteral("ClearCfgBtn"))->click();
    EXPECT_FALSE(rig.window->logFrame()->sensorResolutions().known);

    rig.describe();
    EXPECT_TRUE(rig.window->logFrame()->sensorResolutions().known);
    EXPECT_EQ(rig.label(QStringLiteral("stLogTemper1"))->text(), work::temperatureText(raw, 3));
}

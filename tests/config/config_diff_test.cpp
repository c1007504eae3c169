#include "config/config_diff.h"

#include <gtest/gtest.h>

#include <functional>

using namespace vardex;
using link::MonitorConfig;

namespace {

MonitorConfig base()
{
    MonitorConfig c;
    c.firmwareVersion = 24;
    c.hardwareConfigNumber = 3;
    c.analogA.fill(1.0f);
    c.relayEnable = 0x01;
    c.dallasAlarmDebounce[5] = 44;
    return c;
}

struct DiffCase {
    const char *what;
    std::function<void(MonitorConfig &)> edit;
    QString key; // empty: nothing would change
    QString caption;
    QString controller;
    QString file;
};

class ConfigDiff : public ::testing::TestWithParam<DiffCase> {};

} // namespace

TEST_P(ConfigDiff, NamesTheFieldsAWriteWouldChange)
{
    const DiffCase &c = GetParam();
    ChannelNames names;
    names.a4 = QStringLiteral("Дверь");
    const MonitorConfig held = base();
    MonitorConfig wanted = held;
    c.edit(wanted);
    const FieldChanges changes = config::diffConfig(held, wanted, names);
    if (c.key.isEmpty()) {
        EXPECT_TRUE(changes.empty()) << changes.front().key.toStdString();
        EXPECT_TRUE(config::differingPages(held, wanted).empty());
        return;
    }
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].key, c.key);
    EXPECT_EQ(changes[0].caption, c.caption);
    EXPECT_EQ(changes[0].controller, c.controller);
    EXPECT_EQ(changes[0].file, c.file);
    EXPECT_EQ(config::differingPages(held, wanted).size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, ConfigDiff,
    ::testing::Values(DiffCase{"same", [](MonitorConfig &) {}, {}, {}, {}, {}},
                      DiffCase{"version bytes never travel",
                               [](MonitorConfig &c) {
                                   c.firmwareVersion = 23;
                                   c.buildVariant = 9;
                                   c.fill74 = {1, 2};
                               },
                               {},
                               {},
                               {},
                               {}},
                      DiffCase{"bits above the wire's width",
                               [](MonitorConfig &c) { c.dallasAlarmDebounce[5] = 300; },
                               {},
                               {},
                               {},
                               {}},
                      DiffCase{"number", [](MonitorConfig &c) { c.hardwareConfigNumber = 42; },
                               "hardwareConfigNumber", "Конфигурация", "3", "42"},
                      DiffCase{"mask bit", [](MonitorConfig &c) { c.relayEnable = 0x03; },
                               "relayEnable.2", "Реле / Реле 2", "выкл", "вкл"},
                      DiffCase{"low switch", [](MonitorConfig &c) { c.switchEnable = 0x20; },
                               "switchEnable.6", "Нижний ключ / Ключ 2", "выкл", "вкл"},
                      DiffCase{"named channel", [](MonitorConfig &c) { c.analogB[3] = 0.5f; },
                               "analogB.4", "Аналоги / Дверь / B", "0", "0.5"},
                      DiffCase{"list item", [](MonitorConfig &c) { c.logPeriod = 3; }, "logPeriod",
                               "Логирование / Период / Штатный", "10 сек", "2 ми"},
                      // Below the page's six decimals: the raw value tells them apart.
                      DiffCase{"below the shown precision",
                               [](MonitorConfig &c) { c.analogB[1] = 1e-7f; }, "analogB.2",
                               "Аналоги / А2_24В / B", "0 (0)", "0 (1.00000001e-07)"},
                      DiffCase{"alarm in the channel's units",
                               [](MonitorConfig &c) { c.analogAlarmLow[0] = 20; },
                               "analogAlarmLow.1", "Аналоги / А1_12В / Нижний", "0", "20"}),
    [](const auto &info) {
        std::string n = info.param.what;
        for (char &ch : n)
            if (!std::isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return n;
    });

#include "cli_rig.h"
#include "export/csv.h"
#include "log/log_file.h"
#include "log/log_table.h"
#include "sim/scenarios.h"
#include "support/test_support.h"

#include <QFileInfo>

#include <gtest/gtest.h>

using namespace vardex;
using test::CliRig;

// The command line reads the configuration before the log: the resolutions go beside the
// *.log in the same companion the window writes, and a log loaded from it gives the very
// temperatures the command line's own CSV of that controller holds.
TEST(CliLogRead, LogCarriesTheSensorsCompanionThatReloadsToTheSameTemperatures)
{
    const QString logPath = test::tempPath(QStringLiteral("cli-companion.log"));
    const QString csvPath = test::tempPath(QStringLiteral("cli-companion.csv"));
    for (const QString &path : {logPath, csvPath}) {
        CliRig rig;
        rig.useFirmware(sim::controllerWithLog(40));
        const auto c = rig.run({"--demo", "log", "read", path});
        ASSERT_EQ(c.exitCode, 0) << c.err.toStdString();
    }
    const log::TemperatureResolutions sensors = {3, 3, 2, 2, 1, 0};
    EXPECT_EQ(log::loadCompanion(logPath), sensors);
    EXPECT_FALSE(QFileInfo::exists(log::companionPath(csvPath)));

    log::RecordStore store;
    const log::LogLoadResult loaded = log::loadLogFile(logPath, store);
    ASSERT_EQ(loaded.records, 40);
    ASSERT_TRUE(loaded.resolutions.has_value());
    EXPECT_EQ(exporting::toCsv(log::buildLogTable(store, *loaded.resolutions)),
              test::readFile(csvPath));
}

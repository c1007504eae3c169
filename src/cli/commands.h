#pragma once

#include "cli/exchange_watch.h"
#include "cli/invocation.h"
#include "cli/report.h"
#include "export/table.h"
#include "files/file_io.h"

#include <functional>

namespace vardex::link {
class DataModule;
class OperationContext;
} // namespace vardex::link

namespace vardex::cli {

// One command on a connected controller, run as one operation of the data module.
struct CommandRun {
    link::DataModule &dm;
    link::OperationContext &ctx; // the operation the command runs as
    const Invocation &invocation;
    ExchangeWatch &watch;
    Report report;
    QString error; // for stderr when the exit code is not 0
    std::function<files::FileResult(const QString &, const exporting::Table &)> writeXlsx;
};

int execute(CommandRun &run);
// Shared by the commands: the configuration read (false: failed, watch says why) and
// the failure exit with the request the watch names.
bool readConfiguration(CommandRun &run);
int controllerFailure(CommandRun &run, const QString &fallback);
// The full event-log read into the file its extension names (log_command.cpp).
int logRead(CommandRun &run);
// The *.cfg and *.upr commands (file_commands.cpp).
int configRead(CommandRun &run);
int configWrite(CommandRun &run);
int configDiff(CommandRun &run);
int loopsRead(CommandRun &run);
int loopsWrite(CommandRun &run);
int loopsDiff(CommandRun &run);

} // namespace vardex::cli

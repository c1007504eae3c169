#pragma once

#include "cli/exchange_watch.h"
#include "cli/invocation.h"
#include "cli/report.h"

namespace vardex::link {
class DataModule;
}

namespace vardex::cli {

// One command on a connected controller, run as one operation of the data module.
struct CommandRun {
    link::DataModule &dm;
    const Invocation &invocation;
    ExchangeWatch &watch;
    Report report;
    QString error; // for stderr when the exit code is not 0
};

int execute(CommandRun &run);

} // namespace vardex::cli

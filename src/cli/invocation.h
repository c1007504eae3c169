#pragma once

#include "cli/watch_command.h"
#include "link/device_image.h"

#include <QString>
#include <QStringList>

#include <optional>

// What the command line asked for, parsed without touching any device.
namespace vardex::cli {

enum ExitCode {
    kExitOk = 0,
    kExitController = 1, // the controller refused or did not answer
    kExitUsage = 2,
    kExitNoController = 3, // none present, or no permission to open it
    // Ctrl-C ended a long read; what was read is kept. The shell's value for SIGINT,
    // so a script tells an interrupted read from a finished one.
    kExitInterrupted = 130,
};

enum class Command {
    Help,
    List,
    Describe,
    State,
    ClockGet,
    ClockSync,
    OutputsSet,
    ConfigRead,
    ConfigWrite,
    LoopsRead,
    LoopsWrite,
    LogRead,
    Blackbox,
    Watch,
};

struct Invocation {
    Command command = Command::Help;
    bool json = false;
    bool demo = false;
    QString device; // hidraw node; empty: the first controller found
    QString file;
    link::OutputTask outputs;
    WatchOptions watch;
};

struct ParseResult {
    std::optional<Invocation> invocation;
    QString error; // for stderr, with the usage
};

// args without the program name.
ParseResult parseArguments(const QStringList &args);
// "relay=1,3 switch=h2,l1 ttl=8 fan1=60": items not named are off, fans not named 0 %.
std::optional<link::OutputTask> parseOutputs(const QStringList &items, QString *error);
QString usageText();

} // namespace vardex::cli

#pragma once

#include "cli/serve_command.h"
#include "cli/watch_command.h"
#include "link/device_image.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

// What the command line asked for, parsed without touching any device.
namespace vardex::cli {

enum ExitCode {
    kExitOk = 0,
    kExitController = 1, // the controller refused, did not answer or holds other than written
    kExitDiffers = 1,    // diff: a write would change something
    kExitUsage = 2,
    kExitNoController = 3, // none present, or no permission to open it
    // diff: the controller refused or did not answer, so nothing is known of what a write
    // would change (1 would read as "something to change").
    kExitDiffUnknown = 4,
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
    ConfigDiff,
    LoopsRead,
    LoopsWrite,
    LoopsDiff,
    LogRead,
    Blackbox,
    Watch,
    Serve,
};

// What `outputs set` changes. Outputs not named keep what the controller has now.
struct OutputChanges {
    bool allOff = false; // the explicit "all-off": every output off, every fan at 0 %
    // Per family: the items named (bit k-1 = item k) and the state asked for them.
    std::uint8_t relaysNamed = 0, relaysOn = 0;
    std::uint8_t switchesNamed = 0, switchesOn = 0; // bits 0..3 high-side, 4..7 low-side
    std::uint8_t ttlNamed = 0, ttlOn = 0;
    std::array<std::optional<std::uint8_t>, link::kFans> fanPercent{};

    // The task that changes only what is named in current (the controller's outputs).
    link::OutputTask applyTo(const link::OutputTask &current) const;
};

struct Invocation {
    Command command = Command::Help;
    bool json = false;
    bool demo = false;
    QString device; // hidraw node; empty: the first controller found
    QString file;
    // A *.cfg / *.upr of another size than its format's is laid over what the
    // controller holds now instead of being refused.
    bool overlay = false;
    OutputChanges outputs;
    std::vector<WatchOptions> watch; // one per host and output
    ServeOptions serve;
};

struct ParseResult {
    std::optional<Invocation> invocation;
    QString error; // for stderr, with the usage
};

// args without the program name.
ParseResult parseArguments(const QStringList &args);
// "relay3=on ttl1=off switch-h2=on fan1=60" name single outputs; "relay=1,3" names a
// whole family (the listed items on, its others off; "relay=off" all of it off);
// "all-off" alone switches everything off. Nothing named is an error: an empty list
// must never pass for "everything off".
std::optional<OutputChanges> parseOutputs(const QStringList &items, QString *error);
QString usageText();

} // namespace vardex::cli

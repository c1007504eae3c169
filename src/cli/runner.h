#pragma once

#include "cli/serve_command.h"
#include "export/table.h"
#include "files/file_io.h"
#include "link/lending.h"
#include "link/transport.h"
#include "service/echo.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>

// The command line's driver: arguments in, text out, an exit code back. The program
// (app/cli_main.cpp) and the tests run the same function; only the transport and
// the output sinks differ.
namespace vardex::cli {

struct Environment {
    // The simulated controller for --demo, the real HID devices otherwise.
    std::function<std::shared_ptr<link::Transport>(bool demo)> makeTransport;
    std::function<void(const QString &)> out;
    std::function<void(const QString &)> err;
    bool stderrIsTerminal = false; // progress bars only then
    // Set by SIGINT: the running read stops and keeps what it has.
    const std::atomic<bool> *interrupted = nullptr;
    int connectTimeoutMs = 3000;
    // The .xlsx writer lives with the operating-system code; the program passes it.
    std::function<files::FileResult(const QString &, const exporting::Table &)> writeXlsx;
    // Why a present controller cannot be opened and what to do (the doctor's words).
    std::function<QString(const QString &node)> accessAdvice;
    // The ICMP echo for `watch` (the platform's in the program, a script in tests).
    std::function<std::unique_ptr<service::Echo>()> makeEcho;
    // `watch`: where a switch-off it owes is recorded (see cli/watch_pending.h), and how
    // long it awaits a controller that went away with an output on.
    QString watchStateDir;
    // `watch`: set by SIGUSR1, re-arms a watch that stood down at its cap.
    std::atomic<bool> *watchRearm = nullptr;
    int watchReturnGraceMs = 5000;
    // `serve`: the metrics listener, MQTT, the journal and the supervisor's socket.
    ServeSystem serve;
    // The controller's owner lock (link/owner.h) for this program: its words, whether it
    // lends (the watch), and whether it borrows from a watch that does (the one-off
    // commands; not the long-running ones). Without it the controller is opened unguarded.
    std::function<std::shared_ptr<link::OwnerGate>(const QString &program, bool lends,
                                                   bool borrows)>
        makeOwnerGate;
    // The watch's lending point for a controller (the platform's socket in the program);
    // null: the watch lends to nobody.
    std::function<std::unique_ptr<link::Lending>(const QString &ownerKey)> makeLending;
};

int run(const QStringList &args, const Environment &env);

// For tests: everything written, collected.
struct Captured {
    QString out;
    QString err;
    int exitCode = -1;
};
Captured runCaptured(const QStringList &args, Environment env);

} // namespace vardex::cli

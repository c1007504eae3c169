#pragma once

#include "fleet/snapshot.h"
#include "service/echo.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace vardex::link {
class DataModule;
class Lending;
} // namespace vardex::link

// `vardex-cli watch HOST --output relay1 …`: the window's ping watchdog (the same
// service::Watchdog) against a controller, without a display, for unattended cabinets.
namespace vardex::cli {

struct WatchOptions {
    QString host;
    QStringList moreHosts; // a pulse only when every host missed in the same round
    int output = -1;       // item of the watchdog's output list
    int intervalMs = 3000;
    int timeoutMs = 500;
    int pulseMs = 1000;
    int misses = 1;
    int holdOffS = 0;
    int armAfter = 0;
    int maxPulses = 0; // 0: no cap
    int perMin = 60;
    int backoffMaxS = 0; // 0: no back-off
};

// One pair's words: HOST (up to four of them) and its options. Ranges are the page's own.
std::optional<WatchOptions> parseWatchOptions(const QStringList &words, QString *error);
// Words after "watch": one or more pairs, each HOST [HOST…] --output X [options]. A host
// after a pair's --output begins the next pair when another --output follows (else it is
// one more host of the last pair), so a unit's settings can list one pair after another;
// each pair takes only the options written in it. Two pairs on one output
// would undo each other's pulses and are refused.
std::optional<std::vector<WatchOptions>> parseWatchPairs(const QStringList &words, QString *error);
inline constexpr int kMaxWatchPairs = 8;
// "relay1".."relay6", "h1".."h4" (high-side switches), "l1".."l4" (low-side): the item of
// the output list, or -1.
int watchOutputItem(const QString &name);
// The options that take a value, for the argument parser.
bool isWatchOption(const QString &argument);

inline constexpr int kWatchReturnGraceMs = 5000;

// One line of the watch as its parts: what --json prints, before it is printed.
struct WatchLine {
    QString time;   // "yyyy-MM-dd hh:mm:ss"
    QString host;   // the pair's first host; empty for a line about the controller
    QString output; // "relay1"; empty for a line about the controller
    QString decision;
    QString rule; // the decision's rule, when it has one
};

struct WatchRun {
    link::DataModule &dm;
    std::vector<WatchOptions> pairs; // one watchdog each, all on this controller
    bool json = false;
    std::function<std::unique_ptr<service::Echo>()> makeEcho;
    std::function<void(const QString &)> out;
    std::function<void(const QString &)> err;
    const std::atomic<bool> *stop = nullptr; // SIGINT or SIGTERM
    // Where a switch-off the watch could not see through is recorded for the next run
    // (pendingStateDir() in the program); empty: nowhere, and the log says so.
    QString stateDir;
    // How long a controller that went away with the output on is awaited before the
    // exit: a USB reset brings it back within seconds.
    int returnGraceMs = kWatchReturnGraceMs;
    // Set by SIGUSR1: a watch that stood down at its cap is re-armed.
    std::atomic<bool> *rearm = nullptr;
    // The command line's --device: only that node is ever taken.
    QString device = {};
    // Where borrowers ask for the controller (cli/watch_loan.h); null: it is lent to none.
    link::Lending *lending = nullptr;
    // When set, every line goes here as its parts instead of to out (the cabinet
    // service makes events of them).
    std::function<void(const WatchLine &)> lines = {};
    // The cabinet service's view: the pairs' figures after each echo and decision, and
    // the loan (away from the borrower's request until the controller is back).
    std::function<void(const std::vector<fleet::WatchFigures> &)> figuresChanged = {};
    std::function<void(bool away, const QString &borrower)> loanChanged = {};
    // Who lends, as the loan's lines say it: the watch, or the service it runs in.
    QString loanHolder = QStringLiteral("у сторожа");
};

// Watches until stop is set (0, after switching off the outputs it holds on) or the
// controller goes away (kExitNoController). One line per decision on out; with several
// pairs each pair's lines name its output.
//
// A switch-on is recorded in the state directory before it is written, and the record
// is removed once the outputs read back with the output off. A record left by an
// earlier run is settled first: on the same controller the output is switched off and
// read back; another controller gets nothing. When the controller goes away with the
// output on, the watch waits a few seconds for it to come back before it exits.
int runWatch(WatchRun &run);

} // namespace vardex::cli

#pragma once

#include "cli/watch_command.h"
#include "fleet/outlet.h"
#include "fleet/service_notice.h"

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

// `vardex-cli serve`: the cabinet service. Reads the live state every --poll seconds
// with the Work page's polling cycle and hands each result to its outlets (metrics,
// textfile, MQTT, journal) and the supervisor. It only reads: nothing an outlet
// receives can reach the controller.
namespace vardex::cli {

struct MqttSettings {
    QString host;
    quint16 port = 1883;
    QString user;
    QString passwordFile;
    QString caFile; // TLS when set
    QString topicPrefix = QStringLiteral("vardex");
    QString discoveryPrefix = QStringLiteral("homeassistant");
};

struct ServeOptions {
    int pollMs = 10000;
    std::optional<fleet::ListenAddress> metricsListen;
    QString metricsFile;
    std::optional<MqttSettings> mqtt;
    // --watch HOST with the watch's own options, pairs as `watch` takes them (a --watch
    // after an --output begins the next pair; before it, one more host that must miss
    // too): the ping watch runs in this process, on the same link, and its decisions
    // become events. Empty: no watch.
    std::vector<WatchOptions> watch;
};

std::optional<ServeOptions> parseServeOptions(const QStringList &words, QString *error);
bool isServeOption(const QString &argument);

// What the program supplies: the outlets that talk to the system.
struct ServeSystem {
    std::function<std::unique_ptr<fleet::Outlet>(const fleet::ListenAddress &, QString *error)>
        makeMetricsListener;
    std::function<std::unique_ptr<fleet::Outlet>(const MqttSettings &, QString *error)> makeMqtt;
    // None when no supervisor listens (NOTIFY_SOCKET unset).
    std::function<std::unique_ptr<fleet::ServiceNotifier>()> makeNotifier;
    // The journal when stderr is connected to it; none elsewhere (plain lines then).
    std::function<std::unique_ptr<fleet::Outlet>()> makeJournal;
    // Wall-clock seconds since the epoch.
    std::function<double()> now;
};

struct ServeRun {
    link::DataModule &dm;
    ServeOptions options;
    bool json = false;
    ServeSystem system;
    std::function<void(const QString &)> out;
    std::function<void(const QString &)> err;
    const std::atomic<bool> *stop = nullptr; // SIGINT or SIGTERM
    // For --watch, as `watch` gets them.
    std::function<std::unique_ptr<service::Echo>()> makeEcho;
    QString watchStateDir;
    int watchReturnGraceMs = kWatchReturnGraceMs;
    std::atomic<bool> *watchRearm = nullptr; // SIGUSR1
    QString device = {};                     // --device: only that node is taken
    // Where borrowers ask for the controller; null: it is lent to none.
    link::Lending *lending = nullptr;
};

// Serves until stop is set (exit 0); an outlet that cannot start is a usage error
// (exit 2) before anything is read. A controller that goes away is waited for, with
// `up` 0 meanwhile; with --watch the watch decides instead (exit 3, as `watch`). The
// controller is lent as the watch lends it: nothing is read during a loan, `up` is 0
// and `lent` says why, and the supervisor is still told the service is alive.
int runServe(ServeRun &run);

} // namespace vardex::cli

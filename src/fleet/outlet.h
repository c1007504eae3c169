#pragma once

#include "fleet/event.h"
#include "fleet/snapshot.h"

#include <optional>

// Where the cabinet service's news goes: the metrics listener and textfile take
// snapshots, the journal takes events, MQTT takes both. Nothing an outlet receives
// from outside reaches the controller: outlets have no way back to the service.
namespace vardex::fleet {

class Outlet {
public:
    virtual ~Outlet() = default;
    virtual void publish(const Snapshot &) {}
    virtual void record(const Event &) {}
};

// --metrics-file: the text for node_exporter's textfile collector. Written beside the
// target and renamed over it, so a reader sees the old file or the new one, never half.
class MetricsFile final : public Outlet {
public:
    explicit MetricsFile(QString path) : m_path(std::move(path)) {}
    void publish(const Snapshot &snapshot) override;
    // The system's reason when the last write failed; empty when it succeeded.
    QString lastError() const { return m_error; }

private:
    QString m_path;
    QString m_error;
};

// Where --metrics-listen binds: "PORT" and ":PORT" mean 127.0.0.1, so nothing is
// exposed beyond the machine unless an address is given.
struct ListenAddress {
    QString host = QStringLiteral("127.0.0.1");
    quint16 port = 0;
};
std::optional<ListenAddress> parseListenAddress(const QString &text, QString *error);

} // namespace vardex::fleet

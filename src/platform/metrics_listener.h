#pragma once

#include "fleet/outlet.h"

#include <QByteArray>

#include <memory>

class QHttpServer;

// --metrics-listen: GET /metrics answers with the text of the last snapshot it was
// given. A request never reaches the controller: the listener only holds text.
namespace vardex::platform {

class MetricsListener final : public fleet::Outlet {
public:
    MetricsListener();
    ~MetricsListener() override;

    // False with the system's reason when the address cannot be bound.
    bool listen(const fleet::ListenAddress &address, QString *error);
    quint16 port() const { return m_port; }

    void publish(const fleet::Snapshot &snapshot) override;
    const QByteArray &body() const { return m_body; }

private:
    std::unique_ptr<QHttpServer> m_server;
    QByteArray m_body;
    quint16 m_port = 0;
};

} // namespace vardex::platform

#include "platform/metrics_listener.h"

#include "fleet/metrics_text.h"

#include <QHostAddress>
#include <QHttpServer>
#include <QHttpServerResponse>
#include <QTcpServer>

namespace vardex::platform {

MetricsListener::MetricsListener() : m_server(std::make_unique<QHttpServer>())
{
    // Served before the first poll too: up 0 says the service runs but knows nothing yet.
    m_body = fleet::renderMetrics({});
    m_server->route(QStringLiteral("/metrics"), QHttpServerRequest::Method::Get, [this] {
        return QHttpServerResponse(QByteArray(fleet::kMetricsContentType), m_body);
    });
}

MetricsListener::~MetricsListener() = default;

bool MetricsListener::listen(const fleet::ListenAddress &address, QString *error)
{
    const QHostAddress host = address.host == QLatin1String("localhost")
                                  ? QHostAddress(QHostAddress::LocalHost)
                                  : QHostAddress(address.host);
    if (host.isNull()) {
        *error = QStringLiteral("«%1» — не IP-адрес").arg(address.host);
        return false;
    }
    auto tcp = std::make_unique<QTcpServer>();
    if (!tcp->listen(host, address.port)) {
        *error = tcp->errorString();
        return false;
    }
    m_port = tcp->serverPort();
    // The HTTP server takes the socket server as its child.
    m_server->bind(tcp.release());
    return true;
}

void MetricsListener::publish(const fleet::Snapshot &snapshot)
{
    m_body = fleet::renderMetrics(snapshot);
}

} // namespace vardex::platform

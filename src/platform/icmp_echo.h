#pragma once

#include "service/echo.h"

#include <QObject>

#include <memory>

namespace vardex::platform {

enum class IcmpSocketKind {
    Datagram, // SOCK_DGRAM/IPPROTO_ICMP: allowed by net.ipv4.ping_group_range
    Raw,      // SOCK_RAW: needs CAP_NET_RAW
    None,
};

// Which ICMP socket this process may open now; reason says why none when None.
IcmpSocketKind availableIcmpSocket(QString *reason = nullptr);

// The result of an echo whose sendto() failed with error (EACCES, EPERM, ENETUNREACH,
// ...): a facility failure naming the reason, since no request went out.
service::EchoResult echoNotSent(int error, const QString &target);

// One echo, blocking the calling thread for up to the request's time-out (plus the
// time the resolver takes for a name). Never call it on the GUI thread.
service::EchoResult pingOnce(const service::EchoRequest &request);

// The watchdog's echo: each ping runs pingOnce() on a worker thread and hands the
// result to the thread that started it. A ping still out when the object is destroyed
// finishes on its own; its result is dropped.
class IcmpEcho final : public QObject, public service::Echo {
public:
    explicit IcmpEcho(QObject *parent = nullptr);
    ~IcmpEcho() override;

    void start(const service::EchoRequest &request, Done done) override;
    bool busy() const override { return m_busy; }

private:
    struct Shared;
    std::shared_ptr<Shared> m_shared;
    bool m_busy = false;
};

} // namespace vardex::platform

#include "platform/icmp_echo.h"

#include "platform/icmp_packet.h"

#include <QMetaObject>
#include <QPointer>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <linux/errqueue.h>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <random>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace vardex::platform {

using service::EchoRequest;
using service::EchoResult;
using service::EchoStatus;

namespace {

const QString kNoSocketReason = QStringLiteral(
    "Эхо-запрос ICMP недоступен: система не разрешает этому пользователю ICMP-сокеты. "
    "Разрешите их параметром net.ipv4.ping_group_range (например, "
    "sysctl -w net.ipv4.ping_group_range=\"0 2147483647\") или дайте программе право "
    "CAP_NET_RAW.");

// Closes the descriptor whatever way the ping ends.
class Fd {
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

struct OpenedSocket {
    int fd = -1;
    IcmpSocketKind kind = IcmpSocketKind::None;
};

OpenedSocket openIcmpSocket()
{
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd >= 0)
        return {fd, IcmpSocketKind::Datagram};
    fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd >= 0)
        return {fd, IcmpSocketKind::Raw};
    return {};
}

QString addressText(in_addr a)
{
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &a, text, sizeof text);
    return QString::fromLatin1(text);
}

// The one identifier and the sequence numbers of this process's raw echoes; the
// kernel picks the identifier of a datagram socket itself.
std::uint16_t nextSequence()
{
    static std::mutex mutex;
    static std::uint16_t seq = 0;
    std::lock_guard lock(mutex);
    return ++seq;
}

std::uint16_t processIdentifier()
{
    static const std::uint16_t id = [] {
        std::random_device rd;
        return static_cast<std::uint16_t>((rd() ^ static_cast<unsigned>(::getpid())) & 0xFFFF);
    }();
    return id;
}

class Pinger {
public:
    Pinger(const EchoRequest &request, int fd, IcmpSocketKind kind, in_addr target)
        : m_request(request), m_fd(fd), m_kind(kind), m_target(target)
    {
    }

    EchoResult run()
    {
        m_start = std::chrono::steady_clock::now();
        buildRequest();
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr = m_target;
        if (::sendto(m_fd, m_sent.packet.data(), m_sent.packet.size(), 0,
                     reinterpret_cast<sockaddr *>(&to), sizeof to) < 0)
            return echoNotSent(errno, addressText(m_target));
        while (true) {
            const long left = m_request.timeoutMs - elapsedMs();
            if (left <= 0)
                return finished(EchoStatus::TimedOut);
            pollfd p{m_fd, POLLIN, 0};
            const int n = ::poll(&p, 1, static_cast<int>(left));
            if (n < 0 && errno != EINTR)
                return EchoResult::failed(QStringLiteral("Ошибка ожидания ответа ICMP: %1")
                                              .arg(QString::fromLocal8Bit(std::strerror(errno))));
            if (n <= 0)
                continue;
            std::optional<EchoResult> r;
            if (m_kind == IcmpSocketKind::Raw) {
                // A pending socket error is cleared by the read; the ICMP message
                // behind it comes as a packet of its own.
                if (p.revents & (POLLIN | POLLERR))
                    r = readRaw();
            } else if (p.revents & POLLERR) {
                r = readErrorQueue();
            } else if (p.revents & POLLIN) {
                r = readDatagram();
            }
            if (r)
                return *r;
        }
    }

private:
    long elapsedMs() const
    {
        return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now() - m_start)
                                     .count());
    }

    EchoResult finished(EchoStatus status, int bytes = 0, QString address = {}, int ttl = 0)
    {
        EchoResult r;
        r.status = status;
        r.bytes = bytes;
        r.address = address.isEmpty() ? QStringLiteral("0.0.0.0") : address;
        r.ttl = ttl;
        const auto elapsed = std::chrono::steady_clock::now() - m_start;
        r.roundTripMs = static_cast<unsigned>(std::max<long long>(
            0, std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count()));
        r.roundTripUs = static_cast<unsigned>(std::max<long long>(
            0, std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count()));
        return r;
    }

    void buildRequest()
    {
        const int payload = std::clamp(m_request.payloadBytes, 16, 1024);
        // A random cookie first, so that an echo of another process with the same
        // numbers (or a stale one of ours) is not taken for the reply.
        std::vector<std::uint8_t> data(static_cast<std::size_t>(payload));
        std::random_device rd;
        for (std::size_t i = 0; i < data.size(); ++i)
            data[i] = static_cast<std::uint8_t>(i < 8 ? rd() : i);
        m_sent = icmp::echoRequest(processIdentifier(), nextSequence(), data, m_target.s_addr);
        m_sent.checkIdentifier = m_kind == IcmpSocketKind::Raw;
    }

    std::optional<EchoResult> readDatagram()
    {
        std::uint8_t buf[2048];
        std::uint8_t control[256];
        sockaddr_in from{};
        iovec iov{buf, sizeof buf};
        msghdr msg{};
        msg.msg_name = &from;
        msg.msg_namelen = sizeof from;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        const ssize_t n = ::recvmsg(m_fd, &msg, MSG_DONTWAIT);
        if (n < static_cast<ssize_t>(icmp::kHeaderSize))
            return std::nullopt;
        const auto size = static_cast<std::size_t>(n);
        if (!icmp::isReplyTo(std::span<const std::uint8_t>(buf, size), m_sent))
            return std::nullopt;
        int ttl = 0;
        for (cmsghdr *c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_TTL &&
                c->cmsg_len >= CMSG_LEN(sizeof(int))) {
                std::memcpy(&ttl, CMSG_DATA(c), sizeof ttl);
            }
        }
        return finished(EchoStatus::Answered, static_cast<int>(size), addressText(from.sin_addr),
                        ttl);
    }

    // ICMP errors to a datagram socket come on its error queue with the quoted request.
    std::optional<EchoResult> readErrorQueue()
    {
        std::uint8_t buf[2048];
        std::uint8_t control[512];
        sockaddr_in from{};
        iovec iov{buf, sizeof buf};
        msghdr msg{};
        msg.msg_name = &from;
        msg.msg_namelen = sizeof from;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        const ssize_t n = ::recvmsg(m_fd, &msg, MSG_ERRQUEUE | MSG_DONTWAIT);
        if (n < 0)
            return std::nullopt;
        for (cmsghdr *c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
            if (c->cmsg_level != IPPROTO_IP || c->cmsg_type != IP_RECVERR ||
                c->cmsg_len < CMSG_LEN(sizeof(sock_extended_err)))
                continue;
            sock_extended_err ee{};
            std::memcpy(&ee, CMSG_DATA(c), sizeof ee);
            if (ee.ee_origin != SO_EE_ORIGIN_ICMP ||
                !icmp::quotesRequest(
                    std::span<const std::uint8_t>(buf, static_cast<std::size_t>(n)), m_sent))
                return std::nullopt;
            QString sender;
            if (c->cmsg_len >= CMSG_LEN(sizeof(sock_extended_err) + sizeof(sockaddr_in))) {
                sockaddr_in offender{};
                std::memcpy(&offender, CMSG_DATA(c) + sizeof(sock_extended_err), sizeof offender);
                if (offender.sin_family == AF_INET)
                    sender = addressText(offender.sin_addr);
            }
            return finished(icmp::statusOfError(ee.ee_type), 0, sender);
        }
        return std::nullopt;
    }

    // A raw socket sees every ICMP message of the host, with its IP header.
    std::optional<EchoResult> readRaw()
    {
        std::uint8_t buf[4096];
        const ssize_t n = ::recv(m_fd, buf, sizeof buf, MSG_DONTWAIT);
        if (n <= 0)
            return std::nullopt; // also a pending socket error, which a packet repeats
        const auto m = icmp::matchRawPacket(
            std::span<const std::uint8_t>(buf, static_cast<std::size_t>(n)), m_sent);
        if (!m)
            return std::nullopt;
        in_addr source{};
        source.s_addr = m->source;
        return finished(m->status, m->icmpBytes, addressText(source), m->ttl);
    }

    const EchoRequest &m_request;
    int m_fd;
    IcmpSocketKind m_kind;
    in_addr m_target;
    icmp::SentEcho m_sent;
    std::chrono::steady_clock::time_point m_start;
};

std::optional<in_addr> resolve(const QString &host, QString *why)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_RAW;
    hints.ai_protocol = IPPROTO_ICMP;
    addrinfo *found = nullptr;
    const QByteArray name = host.trimmed().toUtf8();
    const int rc = ::getaddrinfo(name.constData(), nullptr, &hints, &found);
    if (rc != 0 || !found) {
        *why = QStringLiteral("Узел «%1» не найден: %2")
                   .arg(host.trimmed(), QString::fromLocal8Bit(::gai_strerror(rc)));
        return std::nullopt;
    }
    in_addr a{};
    std::memcpy(&a, &reinterpret_cast<const sockaddr_in *>(found->ai_addr)->sin_addr, sizeof a);
    ::freeaddrinfo(found);
    return a;
}

} // namespace

EchoResult echoNotSent(int error, const QString &target)
{
    // The request never left this computer: nothing is known of the host, so this is a
    // failure of the facility (shown, logged), never the watchdog's trigger.
    QString why;
    switch (error) {
    case EACCES:
        why = QStringLiteral("система не разрешает отправку (широковещательный адрес?)");
        break;
    case EPERM:
        why = QStringLiteral("отправку запретил сетевой экран этого компьютера");
        break;
    case ENETUNREACH:
        why = QStringLiteral("нет маршрута к сети узла: сеть этого компьютера не настроена");
        break;
    case EHOSTUNREACH:
        why = QStringLiteral("нет маршрута к узлу");
        break;
    default:
        why = QString::fromLocal8Bit(std::strerror(error));
        break;
    }
    return EchoResult::failed(QStringLiteral("Эхо-запрос к %1 не отправлен: %2 (%3)")
                                  .arg(target, why, QString::fromLocal8Bit(std::strerror(error))));
}

IcmpSocketKind availableIcmpSocket(QString *reason)
{
    const OpenedSocket s = openIcmpSocket();
    Fd closer(s.fd);
    if (s.kind == IcmpSocketKind::None && reason)
        *reason = kNoSocketReason;
    return s.kind;
}

EchoResult pingOnce(const EchoRequest &request)
{
    if (request.host.trimmed().isEmpty())
        return EchoResult::failed(QStringLiteral("Не указан узел для эхо-запроса"));
    QString why;
    const std::optional<in_addr> target = resolve(request.host, &why);
    if (!target)
        return EchoResult::failed(why);
    const OpenedSocket s = openIcmpSocket();
    if (s.kind == IcmpSocketKind::None)
        return EchoResult::failed(kNoSocketReason);
    Fd fd(s.fd);
    const int on = 1;
    ::setsockopt(fd.get(), IPPROTO_IP, IP_RECVTTL, &on, sizeof on);
    if (s.kind == IcmpSocketKind::Datagram)
        ::setsockopt(fd.get(), IPPROTO_IP, IP_RECVERR, &on, sizeof on);
    EchoRequest bounded = request;
    bounded.timeoutMs = std::max(1, request.timeoutMs);
    return Pinger(bounded, fd.get(), s.kind, *target).run();
}

// ---- the asynchronous echo ----------------------------------------------------------

// What the worker thread and the owner share: the owner clears `owner` under the lock
// before it goes, so a result is never posted to an object being destroyed.
struct IcmpEcho::Shared {
    std::mutex mutex;
    IcmpEcho *owner = nullptr;
};

IcmpEcho::IcmpEcho(QObject *parent) : QObject(parent), m_shared(std::make_shared<Shared>())
{
    m_shared->owner = this;
}

IcmpEcho::~IcmpEcho()
{
    std::lock_guard lock(m_shared->mutex);
    m_shared->owner = nullptr;
}

void IcmpEcho::start(const EchoRequest &request, Done done)
{
    m_busy = true;
    std::thread([shared = m_shared, request, done = std::move(done)]() mutable {
        EchoResult result = pingOnce(request);
        std::lock_guard lock(shared->mutex);
        if (!shared->owner)
            return;
        IcmpEcho *owner = shared->owner;
        QMetaObject::invokeMethod(
            owner,
            [owner, result = std::move(result), done = std::move(done)] {
                owner->m_busy = false;
                if (done)
                    done(result);
            },
            Qt::QueuedConnection);
    }).detach();
}

} // namespace vardex::platform

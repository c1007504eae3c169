#pragma once

#include <QString>

#include <functional>

// One ICMP echo to a watched host, as the watchdog sees it. The real socket lives in
// the platform layer; tests drive the watchdog with scripted results.
namespace vardex::service {

enum class EchoStatus {
    Answered,
    Error, // the request could not be delivered for another reason
    TimedOut,
    Unreachable, // an ICMP "destination unreachable" quoting our request
    TtlExceeded, // an ICMP "time to live exceeded" quoting our request
};

struct EchoRequest {
    QString host;          // a name or a dotted IPv4 address
    int timeoutMs = 500;   // receive time-out
    int payloadBytes = 32; // data after the 8-byte ICMP header
};

struct EchoResult {
    EchoStatus status = EchoStatus::TimedOut;
    int bytes = 0;                               // ICMP bytes received (header and data)
    QString address = QStringLiteral("0.0.0.0"); // the sender of the reply
    int ttl = 0;
    unsigned roundTripMs = 0; // monotonic, also measured for a time-out
    // The same finer, for the fleet's figures (a loopback answer takes well under a
    // millisecond); 0 where the echo did not measure it.
    unsigned roundTripUs = 0;
    // Set when the facility itself failed (a name that does not resolve, no permission
    // for ICMP sockets): no echo went out, so the status above means nothing.
    QString failure;

    bool facilityFailed() const { return !failure.isEmpty(); }

    static EchoResult failed(QString why)
    {
        EchoResult r;
        r.status = EchoStatus::Error;
        r.failure = std::move(why);
        return r;
    }
};

// An asynchronous echo: start() returns at once and done runs later on the thread that
// called start() (the GUI thread), exactly once per start(). One echo at a time.
class Echo {
public:
    using Done = std::function<void(const EchoResult &)>;

    virtual ~Echo() = default;
    virtual void start(const EchoRequest &request, Done done) = 0;
    virtual bool busy() const = 0;
};

} // namespace vardex::service

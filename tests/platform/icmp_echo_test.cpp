// Real echoes, to 127.0.0.1 only (or to the loopback of a network namespace the test
// makes for itself).
#include "platform/icmp_echo.h"

#include "support/net_namespace.h"
#include "support/test_support.h"

#include <QCoreApplication>
#include <QThread>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace vardex;
using platform::IcmpSocketKind;
using service::EchoStatus;

namespace {

#define SKIP_WITHOUT_ICMP_SOCKETS()                                                                \
    do {                                                                                           \
        QString reason;                                                                            \
        if (platform::availableIcmpSocket(&reason) == IcmpSocketKind::None) {                      \
            std::printf("skipped: %s\n", qPrintable(reason));                                      \
            GTEST_SKIP() << qPrintable(reason);                                                    \
        }                                                                                          \
    } while (false)

service::EchoRequest loopback(int timeoutMs = 1000)
{
    service::EchoRequest r;
    r.host = QStringLiteral("127.0.0.1");
    r.timeoutMs = timeoutMs;
    return r;
}

struct NamespaceOutcome {
    char skipReason[128] = {};
    int downStatus = -1;
    bool downFacilityFailed = false;
    int answeredStatus = -1;
    int answeredTtl = -1;
    int silentStatus = -1;
    unsigned silentRoundTrip = 0;
    int silentBytes = -1;
    int kind = -1;
};

// Runs in a child: the namespace is the child's alone, whatever happens.
NamespaceOutcome pingInPrivateNamespace()
{
    NamespaceOutcome out;
    auto skip = [&out](const char *why) {
        std::snprintf(out.skipReason, sizeof out.skipReason, "%s", why);
        return out;
    };
    if (const char *why = test::enterNetworkNamespace())
        return skip(why);
    test::allowPingSockets();
    out.kind = static_cast<int>(platform::availableIcmpSocket());
    if (out.kind == static_cast<int>(IcmpSocketKind::None))
        return skip("no ICMP socket inside the namespace");
    const service::EchoResult down = platform::pingOnce(loopback(300));
    out.downStatus = static_cast<int>(down.status);
    out.downFacilityFailed = down.facilityFailed();
    if (!test::setLoopbackUp())
        return skip("cannot bring the namespace's loopback up");
    const service::EchoResult answered = platform::pingOnce(loopback(1000));
    out.answeredStatus = static_cast<int>(answered.status);
    out.answeredTtl = answered.ttl;
    if (!test::ignoreEchoRequests())
        return skip("cannot make the namespace ignore echo requests");
    const service::EchoResult silent = platform::pingOnce(loopback(300));
    out.silentStatus = static_cast<int>(silent.status);
    out.silentRoundTrip = silent.roundTripMs;
    out.silentBytes = silent.bytes;
    return out;
}

} // namespace

TEST(IcmpEcho, LoopbackAnswersWithItsAddressTtlAndTime)
{
    SKIP_WITHOUT_ICMP_SOCKETS();
    const service::EchoResult r = platform::pingOnce(loopback());
    ASSERT_FALSE(r.facilityFailed()) << qPrintable(r.failure);
    EXPECT_EQ(r.status, EchoStatus::Answered);
    EXPECT_EQ(r.address, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(r.bytes, 40); // 8-byte header and 32 bytes of data
    EXPECT_GT(r.ttl, 0);
    EXPECT_LE(r.ttl, 255);
    EXPECT_LT(r.roundTripMs, 1000u);
    // The finer figure agrees with the coarse one and is not lost below a millisecond.
    EXPECT_GT(r.roundTripUs, 0u);
    EXPECT_EQ(r.roundTripUs / 1000, r.roundTripMs);
}

TEST(IcmpEcho, NameThatDoesNotResolveIsAnErrorOfTheFacility)
{
    service::EchoRequest r = loopback();
    r.host = QStringLiteral("watched-host.invalid");
    const service::EchoResult result = platform::pingOnce(r);
    ASSERT_TRUE(result.facilityFailed());
    EXPECT_TRUE(result.failure.contains(QStringLiteral("watched-host.invalid")));
    r.host = QStringLiteral("  ");
    EXPECT_TRUE(platform::pingOnce(r).facilityFailed());
}

TEST(IcmpEcho, ResultComesBackOnTheThreadThatStartedThePing)
{
    SKIP_WITHOUT_ICMP_SOCKETS();
    platform::IcmpEcho echo;
    bool done = false;
    service::EchoResult got;
    QThread *deliveredOn = nullptr;
    echo.start(loopback(), [&](const service::EchoResult &r) {
        got = r;
        deliveredOn = QThread::currentThread();
        done = true;
    });
    EXPECT_TRUE(echo.busy());
    ASSERT_TRUE(test::waitUntil([&] { return done; }, 3000));
    EXPECT_FALSE(echo.busy());
    EXPECT_EQ(deliveredOn, QCoreApplication::instance()->thread());
    EXPECT_EQ(got.status, EchoStatus::Answered);
}

TEST(IcmpEcho, PingStillOutWhenTheEchoGoesIsDropped)
{
    SKIP_WITHOUT_ICMP_SOCKETS();
    bool called = false;
    {
        platform::IcmpEcho echo;
        echo.start(loopback(), [&](const service::EchoResult &) { called = true; });
    }
    test::spin(300);
    EXPECT_FALSE(called);
}

TEST(IcmpEcho, SilentLoopbackTimesOutAndADownOneSendsNothing)
{
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(fds[0]);
        const NamespaceOutcome out = pingInPrivateNamespace();
        const bool ok = ::write(fds[1], &out, sizeof out) == static_cast<ssize_t>(sizeof out);
        ::_exit(ok ? 0 : 1);
    }
    ::close(fds[1]);
    NamespaceOutcome out;
    const ssize_t n = ::read(fds[0], &out, sizeof out);
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_EQ(n, static_cast<ssize_t>(sizeof out));
    if (out.skipReason[0]) {
        std::printf("skipped: %s\n", out.skipReason);
        GTEST_SKIP() << out.skipReason;
    }
    EXPECT_EQ(out.kind, static_cast<int>(IcmpSocketKind::Datagram));
    // With the namespace's loopback down, sendto() fails with ENETUNREACH: no request
    // left the computer, so it is the facility that failed, not the host.
    EXPECT_TRUE(out.downFacilityFailed);
    EXPECT_EQ(out.answeredStatus, static_cast<int>(EchoStatus::Answered));
    EXPECT_GT(out.answeredTtl, 0); // through IP_RECVTTL on the datagram socket
    EXPECT_EQ(out.silentStatus, static_cast<int>(EchoStatus::TimedOut));
    EXPECT_EQ(out.silentBytes, 0);
    EXPECT_GE(out.silentRoundTrip, 300u);
}

// sendto() refusals: the request never left the computer, so none of them may read as
// an unanswered echo (which would pulse the watched host's power every cycle).
struct NotSentCase {
    int error;
    const char *mentions;
};

class IcmpEchoNotSent : public ::testing::TestWithParam<NotSentCase> {};

TEST_P(IcmpEchoNotSent, IsAFailureOfTheFacilityNamingTheReason)
{
    const service::EchoResult r =
        platform::echoNotSent(GetParam().error, QStringLiteral("192.0.2.255"));
    EXPECT_TRUE(r.facilityFailed());
    EXPECT_TRUE(r.failure.contains(QStringLiteral("192.0.2.255")));
    EXPECT_TRUE(r.failure.contains(QString::fromUtf8(GetParam().mentions)))
        << r.failure.toStdString();
    EXPECT_TRUE(r.failure.contains(QString::fromLocal8Bit(std::strerror(GetParam().error))));
}

INSTANTIATE_TEST_SUITE_P(Errors, IcmpEchoNotSent,
                         ::testing::Values(NotSentCase{EACCES, "широковещательный"},
                                           NotSentCase{EPERM, "сетевой экран"},
                                           NotSentCase{ENETUNREACH, "маршрута"},
                                           NotSentCase{EHOSTUNREACH, "маршрута к узлу"},
                                           NotSentCase{ENOBUFS, "не отправлен"}));

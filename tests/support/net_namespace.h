#pragma once

// A network namespace of the test's own, for echoes that must go unanswered without
// pinging anything outside the computer. Call only in a single-threaded child (after
// fork): a user namespace cannot be entered by a threaded process, and the namespace
// must end with the child.
#include <arpa/inet.h>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <net/if.h>
#include <net/route.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vardex::test {

inline bool writeProcText(const char *path, const char *text)
{
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const auto n = static_cast<ssize_t>(std::strlen(text));
    const bool ok = ::write(fd, text, static_cast<size_t>(n)) == n;
    ::close(fd);
    return ok;
}

// A private network namespace: as root directly, otherwise inside a user namespace.
// nullptr when entered, else why not.
inline const char *enterNetworkNamespace()
{
    if (::unshare(CLONE_NEWNET) == 0)
        return nullptr;
    const uid_t uid = ::getuid();
    const gid_t gid = ::getgid();
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0)
        return "this process may not create a network namespace";
    char map[64];
    std::snprintf(map, sizeof map, "0 %u 1", static_cast<unsigned>(uid));
    if (!writeProcText("/proc/self/uid_map", map))
        return "cannot map the user into the new user namespace";
    writeProcText("/proc/self/setgroups", "deny");
    std::snprintf(map, sizeof map, "0 %u 1", static_cast<unsigned>(gid));
    if (!writeProcText("/proc/self/gid_map", map))
        return "cannot map the group into the new user namespace";
    return nullptr;
}

inline bool setLoopbackUp()
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    ifreq ifr{};
    std::strncpy(ifr.ifr_name, "lo", IFNAMSIZ - 1);
    bool ok = ::ioctl(fd, SIOCGIFFLAGS, &ifr) == 0;
    ifr.ifr_flags = static_cast<short>(ifr.ifr_flags | IFF_UP | IFF_RUNNING);
    ok = ok && ::ioctl(fd, SIOCSIFFLAGS, &ifr) == 0;
    ::close(fd);
    return ok;
}

// Datagram ICMP sockets for everyone inside, so nothing depends on CAP_NET_RAW.
inline void allowPingSockets()
{
    writeProcText("/proc/sys/net/ipv4/ping_group_range", "0 2147483647");
}

// The namespace's own 127.0.0.1 stops answering echo requests: an outage nobody else
// sees.
inline bool ignoreEchoRequests()
{
    return writeProcText("/proc/sys/net/ipv4/icmp_echo_ignore_all", "1");
}

// Echoes to the documentation network 192.0.2.0/24 go into the namespace's loopback,
// where no address of theirs is: they go unanswered, silently, while 127.0.0.1 answers.
inline bool routeTestNetIntoLoopback()
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    rtentry rt{};
    auto *dst = reinterpret_cast<sockaddr_in *>(&rt.rt_dst);
    dst->sin_family = AF_INET;
    ::inet_pton(AF_INET, "192.0.2.0", &dst->sin_addr);
    auto *mask = reinterpret_cast<sockaddr_in *>(&rt.rt_genmask);
    mask->sin_family = AF_INET;
    ::inet_pton(AF_INET, "255.255.255.0", &mask->sin_addr);
    rt.rt_flags = RTF_UP;
    char dev[] = "lo";
    rt.rt_dev = dev;
    const bool ok = ::ioctl(fd, SIOCADDRT, &rt) == 0;
    ::close(fd);
    return ok;
}

} // namespace vardex::test

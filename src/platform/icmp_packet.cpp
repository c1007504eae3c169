#include "platform/icmp_packet.h"

#include <algorithm>
#include <cstring>

namespace vardex::platform::icmp {

namespace {

constexpr std::uint8_t kEchoReply = 0;
constexpr std::uint8_t kDestUnreachable = 3;
constexpr std::uint8_t kSourceQuench = 4;
constexpr std::uint8_t kEchoRequest = 8;
constexpr std::uint8_t kTimeExceeded = 11;
constexpr std::uint8_t kParameterProblem = 12;
constexpr std::size_t kIpHeaderMin = 20;
constexpr std::uint8_t kProtocolIcmp = 1;

std::uint16_t get16(std::span<const std::uint8_t> p, std::size_t at)
{
    return static_cast<std::uint16_t>((p[at] << 8) | p[at + 1]); // network order
}

void put16(std::vector<std::uint8_t> &p, std::size_t at, std::uint16_t v)
{
    p[at] = static_cast<std::uint8_t>(v >> 8);
    p[at + 1] = static_cast<std::uint8_t>(v & 0xFF);
}

std::uint16_t checksum(std::span<const std::uint8_t> data)
{
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < data.size(); i += 2)
        sum += get16(data, i);
    if (data.size() % 2)
        sum += static_cast<std::uint32_t>(data.back()) << 8;
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum);
}

std::uint32_t address(std::span<const std::uint8_t> p, std::size_t at)
{
    std::uint32_t a = 0;
    std::memcpy(&a, p.data() + at, sizeof a); // stays in network order
    return a;
}

bool isError(std::uint8_t type)
{
    return type == kDestUnreachable || type == kTimeExceeded || type == kParameterProblem ||
           type == kSourceQuench;
}

// The IPv4 header length of a packet, or 0 when it is no well-formed ICMP packet.
std::size_t icmpOffset(std::span<const std::uint8_t> ip)
{
    if (ip.size() < kIpHeaderMin || (ip[0] >> 4) != 4)
        return 0;
    const std::size_t ihl = static_cast<std::size_t>(ip[0] & 0x0F) * 4;
    if (ihl < kIpHeaderMin || ip.size() < ihl + kHeaderSize || ip[9] != kProtocolIcmp)
        return 0;
    return ihl;
}

} // namespace

std::uint16_t SentEcho::identifier() const
{
    return get16(packet, 4);
}

std::uint16_t SentEcho::sequence() const
{
    return get16(packet, 6);
}

SentEcho echoRequest(std::uint16_t identifier, std::uint16_t sequence,
                     std::span<const std::uint8_t> data, std::uint32_t target)
{
    SentEcho s;
    s.target = target;
    s.packet.assign(kHeaderSize, 0);
    s.packet[0] = kEchoRequest;
    put16(s.packet, 4, identifier);
    put16(s.packet, 6, sequence);
    s.packet.insert(s.packet.end(), data.begin(), data.end());
    put16(s.packet, 2, checksum(s.packet));
    return s;
}

bool isReplyTo(std::span<const std::uint8_t> icmp, const SentEcho &sent)
{
    if (icmp.size() != sent.packet.size() || icmp[0] != kEchoReply ||
        get16(icmp, 6) != sent.sequence())
        return false;
    if (sent.checkIdentifier && get16(icmp, 4) != sent.identifier())
        return false;
    return std::equal(sent.packet.begin() + kHeaderSize, sent.packet.end(),
                      icmp.begin() + kHeaderSize);
}

bool quotesRequest(std::span<const std::uint8_t> icmp, const SentEcho &sent)
{
    if (icmp.size() < kHeaderSize || icmp[0] != kEchoRequest || get16(icmp, 6) != sent.sequence())
        return false;
    if (sent.checkIdentifier && get16(icmp, 4) != sent.identifier())
        return false;
    const std::size_t quoted = std::min(icmp.size(), sent.packet.size());
    return std::equal(sent.packet.begin() + kHeaderSize,
                      sent.packet.begin() + static_cast<std::ptrdiff_t>(quoted),
                      icmp.begin() + kHeaderSize);
}

service::EchoStatus statusOfError(std::uint8_t type)
{
    switch (type) {
    case kDestUnreachable:
        return service::EchoStatus::Unreachable;
    case kTimeExceeded:
        return service::EchoStatus::TtlExceeded;
    default:
        return service::EchoStatus::Error;
    }
}

std::optional<RawMatch> matchRawPacket(std::span<const std::uint8_t> ip, const SentEcho &sent)
{
    const std::size_t ihl = icmpOffset(ip);
    if (ihl == 0)
        return std::nullopt;
    const auto icmp = ip.subspan(ihl);
    RawMatch m;
    m.source = address(ip, 12);
    if (icmp[0] == kEchoReply) {
        if (!isReplyTo(icmp, sent))
            return std::nullopt;
        m.icmpBytes = static_cast<int>(icmp.size());
        m.ttl = ip[8];
        return m;
    }
    if (!isError(icmp[0]))
        return std::nullopt;
    // The error quotes the IP header of our request and at least 8 bytes after it.
    const auto quotedIp = icmp.subspan(kHeaderSize);
    const std::size_t qihl = icmpOffset(quotedIp);
    if (qihl == 0 || address(quotedIp, 16) != sent.target ||
        !quotesRequest(quotedIp.subspan(qihl), sent))
        return std::nullopt;
    m.status = statusOfError(icmp[0]);
    return m;
}

} // namespace vardex::platform::icmp

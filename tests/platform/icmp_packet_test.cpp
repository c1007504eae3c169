#include "platform/icmp_packet.h"

#include <gtest/gtest.h>

#include <array>

using namespace vardex::platform;
using vardex::service::EchoStatus;

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t addr(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d)
{
    // network byte order in memory, read as a host integer on a little-endian machine
    return static_cast<std::uint32_t>(a) | (static_cast<std::uint32_t>(b) << 8) |
           (static_cast<std::uint32_t>(c) << 16) | (static_cast<std::uint32_t>(d) << 24);
}

const std::uint32_t kTarget = addr(192, 0, 2, 7);

icmp::SentEcho sent()
{
    const std::array<std::uint8_t, 32> data = {
        0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6, 0x07, 0x18, 8,  9,  10, 11, 12, 13, 14, 15,
        16,   17,   18,   19,   20,   21,   22,   23,   24, 25, 26, 27, 28, 29, 30, 31};
    return icmp::echoRequest(0x1234, 7, data, kTarget);
}

Bytes ipHeader(std::uint32_t source, std::uint32_t dest, std::uint8_t ttl, std::size_t total)
{
    Bytes h(20, 0);
    h[0] = 0x45;
    h[2] = static_cast<std::uint8_t>(total >> 8);
    h[3] = static_cast<std::uint8_t>(total);
    h[8] = ttl;
    h[9] = 1;
    for (int i = 0; i < 4; ++i) {
        h[12 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(source >> (8 * i));
        h[16 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(dest >> (8 * i));
    }
    return h;
}

Bytes replyFrom(std::uint32_t source, Bytes icmpPart, std::uint8_t ttl = 57)
{
    Bytes p = ipHeader(source, addr(10, 0, 0, 1), ttl, 20 + icmpPart.size());
    p.insert(p.end(), icmpPart.begin(), icmpPart.end());
    return p;
}

Bytes echoReply(const icmp::SentEcho &s)
{
    Bytes r = s.packet;
    r[0] = 0;
    return r;
}

// An ICMP error from a router quoting our request's IP header and quoted bytes of it.
Bytes errorQuoting(std::uint8_t type, const icmp::SentEcho &s, std::size_t quotedIcmp,
                   std::uint32_t quotedDest = kTarget)
{
    Bytes e(8, 0);
    e[0] = type;
    Bytes quotedIp = ipHeader(addr(10, 0, 0, 1), quotedDest, 1, 20 + s.packet.size());
    e.insert(e.end(), quotedIp.begin(), quotedIp.end());
    e.insert(e.end(), s.packet.begin(), s.packet.begin() + static_cast<std::ptrdiff_t>(quotedIcmp));
    return replyFrom(addr(198, 51, 100, 1), e, 250);
}

} // namespace

TEST(IcmpPacket, RequestCarriesItsNumbersAndAValidChecksum)
{
    const icmp::SentEcho s = sent();
    ASSERT_EQ(s.packet.size(), 40u);
    EXPECT_EQ(s.packet[0], 8);
    EXPECT_EQ(s.identifier(), 0x1234);
    EXPECT_EQ(s.sequence(), 7);
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < s.packet.size(); i += 2)
        sum += static_cast<std::uint32_t>((s.packet[i] << 8) | s.packet[i + 1]);
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    EXPECT_EQ(sum, 0xFFFFu);
}

TEST(IcmpPacket, ReplyIsOursOnlyWithOurIdentifierSequenceAndData)
{
    const icmp::SentEcho s = sent();
    const auto m = icmp::matchRawPacket(replyFrom(kTarget, echoReply(s)), s);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->status, EchoStatus::Answered);
    EXPECT_EQ(m->icmpBytes, 40);
    EXPECT_EQ(m->ttl, 57);
    EXPECT_EQ(m->source, kTarget);

    for (std::size_t at : {std::size_t{5}, std::size_t{7}, std::size_t{8}, std::size_t{39}}) {
        Bytes other = echoReply(s);
        other[at] ^= 0x01; // another process's identifier, a stale sequence, other data
        EXPECT_FALSE(icmp::matchRawPacket(replyFrom(kTarget, other), s)) << at;
    }
    Bytes shorter = echoReply(s);
    shorter.pop_back();
    EXPECT_FALSE(icmp::matchRawPacket(replyFrom(kTarget, shorter), s));
    // Our own request, seen on loopback, is no reply.
    EXPECT_FALSE(icmp::matchRawPacket(replyFrom(kTarget, s.packet), s));
}

TEST(IcmpPacket, DatagramRepliesCarryTheKernelsIdentifier)
{
    icmp::SentEcho s = sent();
    s.checkIdentifier = false;
    Bytes reply = echoReply(s);
    reply[4] = 0x77;
    EXPECT_TRUE(icmp::isReplyTo(reply, s));
}

TEST(IcmpPacket, ErrorsQuotingOurRequestGiveTheirStatusAndTheRouter)
{
    const icmp::SentEcho s = sent();
    const auto ttl = icmp::matchRawPacket(errorQuoting(11, s, 8), s); // only 8 bytes quoted
    ASSERT_TRUE(ttl);
    EXPECT_EQ(ttl->status, EchoStatus::TtlExceeded);
    EXPECT_EQ(ttl->source, addr(198, 51, 100, 1));
    EXPECT_EQ(ttl->icmpBytes, 0);
    EXPECT_EQ(ttl->ttl, 0);
    const auto unreachable = icmp::matchRawPacket(errorQuoting(3, s, 40), s);
    ASSERT_TRUE(unreachable);
    EXPECT_EQ(unreachable->status, EchoStatus::Unreachable);
    const auto problem = icmp::matchRawPacket(errorQuoting(12, s, 40), s);
    ASSERT_TRUE(problem);
    EXPECT_EQ(problem->status, EchoStatus::Error);
}

TEST(IcmpPacket, ErrorsAboutOtherPacketsAndMalformedPacketsAreIgnored)
{
    const icmp::SentEcho s = sent();
    EXPECT_FALSE(icmp::matchRawPacket(errorQuoting(11, s, 8, addr(192, 0, 2, 8)), s));
    icmp::SentEcho other = s;
    other.packet[7] = 8; // another sequence
    EXPECT_FALSE(icmp::matchRawPacket(errorQuoting(3, other, 8), s));
    Bytes badData = errorQuoting(3, s, 40);
    badData.back() ^= 0xFF;
    EXPECT_FALSE(icmp::matchRawPacket(badData, s));
    EXPECT_FALSE(icmp::matchRawPacket(errorQuoting(3, s, 7), s));  // quote cut short
    EXPECT_FALSE(icmp::matchRawPacket(errorQuoting(5, s, 40), s)); // a redirect

    Bytes good = replyFrom(kTarget, echoReply(s));
    Bytes longHeader = good;
    longHeader[0] = 0x4F; // header length 60 with 60 bytes in all
    EXPECT_FALSE(icmp::matchRawPacket(Bytes(longHeader.begin(), longHeader.begin() + 60), s));
    Bytes udp = good;
    udp[9] = 17;
    EXPECT_FALSE(icmp::matchRawPacket(udp, s));
    EXPECT_FALSE(icmp::matchRawPacket(Bytes(good.begin(), good.begin() + 27), s));
    EXPECT_FALSE(icmp::matchRawPacket(Bytes{}, s));
}

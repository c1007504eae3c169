#pragma once

#include "service/echo.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// ICMP echo packets: building our request and telling what a received packet says
// about it. Everything received is untrusted and bounds-checked.
namespace vardex::platform::icmp {

inline constexpr std::size_t kHeaderSize = 8;

// The request as sent: type 8, identifier, sequence, checksum, data.
struct SentEcho {
    std::vector<std::uint8_t> packet;
    std::uint32_t target = 0; // IPv4 address, network byte order
    // A datagram socket's identifier is the kernel's; only a raw socket checks ours.
    bool checkIdentifier = true;

    std::uint16_t identifier() const;
    std::uint16_t sequence() const;
};

SentEcho echoRequest(std::uint16_t identifier, std::uint16_t sequence,
                     std::span<const std::uint8_t> data, std::uint32_t target);

// An echo reply (ICMP header and data, no IP header) answering sent.
bool isReplyTo(std::span<const std::uint8_t> icmp, const SentEcho &sent);
// A request quoted by an ICMP error is ours: same sequence (and identifier), and
// whatever part of the data is quoted matches.
bool quotesRequest(std::span<const std::uint8_t> icmp, const SentEcho &sent);
// What an ICMP error type means for the echo.
service::EchoStatus statusOfError(std::uint8_t type);

struct RawMatch {
    service::EchoStatus status = service::EchoStatus::Answered;
    int icmpBytes = 0;
    int ttl = 0;
    std::uint32_t source = 0; // network byte order
};

// A packet read from a raw ICMP socket (IPv4 header first): the reply to sent, an
// ICMP error quoting it, or nothing of ours.
std::optional<RawMatch> matchRawPacket(std::span<const std::uint8_t> ip, const SentEcho &sent);

} // namespace vardex::platform::icmp

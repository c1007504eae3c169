// Arbitrary bytes as a packet read from a raw ICMP socket (IPv4 header first), matched
// against an echo request made from the input's first bytes. Properties: no read
// outside the packet; a match as a reply reports the ICMP part's size and is an echo
// reply of our sequence carrying our data; an error match quotes our target.
#include "fuzz_files.h"
#include "platform/icmp_packet.h"

#include <algorithm>
#include <cstring>
#include <vector>

using namespace vardex;
using namespace vardex::platform;
using fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // Request: identifier, sequence, data length (0..63), identifier check, target.
    constexpr std::size_t kRequestBytes = 10;
    if (size < kRequestBytes)
        return 0;
    const auto identifier = static_cast<std::uint16_t>(data[0] << 8 | data[1]);
    const auto sequence = static_cast<std::uint16_t>(data[2] << 8 | data[3]);
    const std::size_t dataLength = data[4] & 0x3F;
    const bool checkIdentifier = data[5] & 1;
    std::uint32_t target = 0;
    std::memcpy(&target, data + 6, sizeof target);
    data += kRequestBytes;
    size -= kRequestBytes;

    std::vector<std::uint8_t> payload(dataLength);
    for (std::size_t i = 0; i < dataLength; ++i)
        payload[i] = static_cast<std::uint8_t>(i * 7 + 1);
    icmp::SentEcho sent = icmp::echoRequest(identifier, sequence, payload, target);
    sent.checkIdentifier = checkIdentifier;
    check(sent.identifier() == identifier && sent.sequence() == sequence);

    // The packet is copied so that a read past its end is one past a heap block.
    const std::vector<std::uint8_t> packet(data, data + size);
    const std::span<const std::uint8_t> ip(packet);
    (void)icmp::isReplyTo(ip, sent);
    (void)icmp::quotesRequest(ip, sent);
    const auto match = icmp::matchRawPacket(ip, sent);
    if (!match)
        return 0;
    if (match->status == service::EchoStatus::Answered) {
        check(match->icmpBytes == static_cast<int>(sent.packet.size()));
        const std::size_t ihl = static_cast<std::size_t>(packet[0] & 0x0F) * 4;
        check(ihl + sent.packet.size() == packet.size());
        check(packet[ihl] == 0);
        check(std::equal(payload.begin(), payload.end(), packet.begin() + ihl + 8));
    } else {
        check(packet.size() >= 20 + 8 + 20 + 8);
    }
    return 0;
}

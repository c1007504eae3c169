#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

// SHA-1 as FIPS 180-4 defines it: 512-bit blocks, big-endian words, the message padded
// with 0x80, zeros and its 64-bit bit length. Feed any number of update() calls, then
// take the 20-byte digest once with finish().
namespace vardex::sign {

using Sha1Digest = std::array<std::uint8_t, 20>;

class Sha1 {
public:
    Sha1();

    void update(std::span<const std::uint8_t> bytes);
    // Pads, processes the last block(s) and returns the digest. The object is then spent:
    // call reset() before hashing another message.
    Sha1Digest finish();
    void reset();

    static Sha1Digest hash(std::span<const std::uint8_t> message);

private:
    void processBlock(const std::uint8_t *block);

    std::array<std::uint32_t, 5> m_h{};
    std::array<std::uint8_t, 64> m_block{};
    std::size_t m_blockUsed = 0;
    std::uint64_t m_length = 0; // bytes hashed so far
};

} // namespace vardex::sign

#include "signed/sha1.h"

#include <algorithm>
#include <bit>

namespace vardex::sign {

namespace {

constexpr std::array<std::uint32_t, 5> kInitial = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu,
                                                   0x10325476u, 0xC3D2E1F0u};

std::uint32_t loadBigEndian(const std::uint8_t *p)
{
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

} // namespace

Sha1::Sha1()
{
    reset();
}

void Sha1::reset()
{
    m_h = kInitial;
    m_block.fill(0);
    m_blockUsed = 0;
    m_length = 0;
}

void Sha1::processBlock(const std::uint8_t *block)
{
    std::array<std::uint32_t, 80> w;
    for (int t = 0; t < 16; ++t)
        w[t] = loadBigEndian(block + 4 * t);
    for (int t = 16; t < 80; ++t)
        w[t] = std::rotl(w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16], 1);

    std::uint32_t a = m_h[0], b = m_h[1], c = m_h[2], d = m_h[3], e = m_h[4];
    for (int t = 0; t < 80; ++t) {
        std::uint32_t f, k;
        if (t < 20) {
            f = (b & c) | (~b & d);
            k = 0x5A827999u;
        } else if (t < 40) {
            f = b ^ c ^ d;
            k = 0x6ED9EBA1u;
        } else if (t < 60) {
            f = (b & c) | (b & d) | (c & d);
            k = 0x8F1BBCDCu;
        } else {
            f = b ^ c ^ d;
            k = 0xCA62C1D6u;
        }
        const std::uint32_t temp = std::rotl(a, 5) + f + e + k + w[t];
        e = d;
        d = c;
        c = std::rotl(b, 30);
        b = a;
        a = temp;
    }
    m_h[0] += a;
    m_h[1] += b;
    m_h[2] += c;
    m_h[3] += d;
    m_h[4] += e;
}

void Sha1::update(std::span<const std::uint8_t> bytes)
{
    m_length += bytes.size();
    while (!bytes.empty()) {
        const std::size_t take = std::min(bytes.size(), m_block.size() - m_blockUsed);
        std::copy_n(bytes.begin(), take, m_block.begin() + m_blockUsed);
        m_blockUsed += take;
        bytes = bytes.subspan(take);
        if (m_blockUsed == m_block.size()) {
            processBlock(m_block.data());
            m_blockUsed = 0;
        }
    }
}

Sha1Digest Sha1::finish()
{
    const std::uint64_t bitLength = m_length * 8;
    // 0x80, then zeros up to 56 bytes into a block, then the length; a block with no
    // room for the length spills into one more.
    m_block[m_blockUsed++] = 0x80;
    if (m_blockUsed > 56) {
        std::fill(m_block.begin() + m_blockUsed, m_block.end(), 0);
        processBlock(m_block.data());
        m_blockUsed = 0;
    }
    std::fill(m_block.begin() + m_blockUsed, m_block.begin() + 56, 0);
    for (int i = 0; i < 8; ++i)
        m_block[56 + i] = static_cast<std::uint8_t>(bitLength >> (56 - 8 * i));
    processBlock(m_block.data());

    Sha1Digest out{};
    for (int i = 0; i < 5; ++i) {
        for (int j = 0; j < 4; ++j)
            out[4 * i + j] = static_cast<std::uint8_t>(m_h[i] >> (24 - 8 * j));
    }
    return out;
}

Sha1Digest Sha1::hash(std::span<const std::uint8_t> message)
{
    Sha1 sha;
    sha.update(message);
    return sha.finish();
}

} // namespace vardex::sign

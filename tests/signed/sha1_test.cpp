#include "signed/sha1.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QCryptographicHash>

#include <random>
#include <string>
#include <vector>

using vardex::sign::Sha1;
using vardex::sign::Sha1Digest;

namespace {

std::string hex(const Sha1Digest &d)
{
    return QByteArray(reinterpret_cast<const char *>(d.data()), static_cast<int>(d.size()))
        .toHex()
        .toStdString();
}

std::span<const std::uint8_t> bytesOf(const std::string &s)
{
    return {reinterpret_cast<const std::uint8_t *>(s.data()), s.size()};
}

std::string qtSha1(const std::vector<std::uint8_t> &m)
{
    return QCryptographicHash::hash(QByteArray(reinterpret_cast<const char *>(m.data()),
                                               static_cast<qsizetype>(m.size())),
                                    QCryptographicHash::Sha1)
        .toHex()
        .toStdString();
}

} // namespace

TEST(Sha1, StandardVectors)
{
    EXPECT_EQ(hex(Sha1::hash(bytesOf(""))), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(hex(Sha1::hash(bytesOf("abc"))), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(hex(Sha1::hash(bytesOf("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"))),
              "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
}

TEST(Sha1, OneMillionAInUnevenPieces)
{
    const std::string million(1000000, 'a');
    const std::string want = "34aa973cd4c4daa4f61eeb2bdbad27316534016f";
    EXPECT_EQ(hex(Sha1::hash(bytesOf(million))), want);

    // Pieces that straddle block boundaries in every way.
    Sha1 sha;
    const std::size_t pieces[] = {1, 63, 64, 65, 55, 56, 997, 0};
    std::size_t at = 0;
    for (std::size_t i = 0; at < million.size(); ++i) {
        const std::size_t n = std::min(pieces[i % std::size(pieces)], million.size() - at);
        sha.update(bytesOf(million).subspan(at, n));
        at += n;
    }
    EXPECT_EQ(hex(sha.finish()), want);
}

TEST(Sha1, MatchesQtOnRandomMessagesAroundPaddingBoundaries)
{
    std::mt19937 rng(20260305);
    std::vector<std::size_t> lengths;
    for (std::size_t n = 0; n <= 300; ++n)
        lengths.push_back(n);
    for (std::size_t n : {511, 512, 513, 1000, 4095, 4096, 4097})
        lengths.push_back(n);
    for (std::size_t n : lengths) {
        std::vector<std::uint8_t> m(n);
        for (auto &b : m)
            b = static_cast<std::uint8_t>(rng());
        EXPECT_EQ(hex(Sha1::hash(m)), qtSha1(m)) << "length " << n;
        // Split at a random point: incremental hashing must not depend on the split.
        const std::size_t cut = n ? rng() % (n + 1) : 0;
        Sha1 sha;
        sha.update(std::span(m).first(cut));
        sha.update(std::span(m).subspan(cut));
        EXPECT_EQ(hex(sha.finish()), qtSha1(m)) << "length " << n << " cut " << cut;
    }
}

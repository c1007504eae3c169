#include "display/text_codec.h"

#include <QList>

#include <array>

namespace vardex::display {

namespace {

// Code page 1251 from 80 to BF; C0..FF are the Cyrillic alphabet А..я in Unicode
// order. 0 marks the one position the code page leaves empty (98).
constexpr std::array<char16_t, 64> kHighHalf = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F, // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, // B8
};

constexpr char32_t kCapitalA = 0x0410, kCapitalYa = 0x042F;
constexpr char32_t kSmallA = 0x0430, kSmallYa = 0x044F;
constexpr char32_t kCapitalYo = 0x0401, kSmallYo = 0x0451;

// Display code of a Cyrillic letter: the alphabet in order with Ё after Е, capitals
// from 40, small letters from 70 with 7F skipped. 0 for anything else.
std::uint8_t displayCode(char32_t c)
{
    if (c == kCapitalYo)
        return 0x46;
    if (c == kSmallYo)
        return 0x76;
    if (c >= kCapitalA && c <= kCapitalYa) {
        const auto i = static_cast<int>(c - kCapitalA); // А = 0
        return static_cast<std::uint8_t>(i <= 5 ? 0x40 + i : 0x41 + i);
    }
    if (c >= kSmallA && c <= kSmallYa) {
        const auto i = static_cast<int>(c - kSmallA);
        if (i <= 5)
            return static_cast<std::uint8_t>(0x70 + i);
        const int code = 0x71 + i; // after ё
        return static_cast<std::uint8_t>(code >= 0x7F ? code + 1 : code);
    }
    return 0;
}

} // namespace

std::optional<std::uint8_t> cp1251Code(char32_t c)
{
    if (c < 0x80)
        return static_cast<std::uint8_t>(c);
    if (c >= kCapitalA && c <= kSmallYa)
        return static_cast<std::uint8_t>(0xC0 + (c - kCapitalA));
    for (std::size_t i = 0; i < kHighHalf.size(); ++i) {
        if (kHighHalf[i] != 0 && kHighHalf[i] == c)
            return static_cast<std::uint8_t>(0x80 + i);
    }
    return std::nullopt;
}

std::vector<std::uint8_t> toModuleCodes(const QString &text)
{
    std::vector<std::uint8_t> out;
    out.reserve(static_cast<std::size_t>(text.size()) * 2);
    for (char32_t c : text.toUcs4()) {
        const auto code = cp1251Code(c);
        if (!code) {
            out.push_back('?');
        } else if (*code < 0xA1) {
            out.push_back(*code);
        } else {
            out.push_back(kDoubleByteLead);
            out.push_back(displayCode(c));
        }
    }
    return out;
}

char32_t letterOfDisplayCode(std::uint8_t code)
{
    if (code == 0x46)
        return kCapitalYo;
    if (code == 0x76)
        return kSmallYo;
    if (code >= 0x40 && code <= 0x45)
        return kCapitalA + (code - 0x40);
    if (code >= 0x47 && code <= 0x60)
        return kCapitalA + (code - 0x41);
    if (code >= 0x70 && code <= 0x75)
        return kSmallA + (code - 0x70);
    if (code >= 0x77 && code <= 0x7E)
        return kSmallA + (code - 0x71);
    if (code >= 0x80 && code <= 0x91)
        return kSmallA + (code - 0x72);
    return 0;
}

} // namespace vardex::display

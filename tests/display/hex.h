#pragma once

#include <QByteArray>

#include <cstdint>
#include <vector>

namespace vardex::test {

// "1B 5C 3F" to its bytes.
inline std::vector<std::uint8_t> hexBytes(const char *text)
{
    const QByteArray raw = QByteArray::fromHex(QByteArray(text).replace(' ', ""));
    return {raw.begin(), raw.end()};
}

inline std::vector<std::uint8_t> repeated(std::size_t n, std::uint8_t b)
{
    return std::vector<std::uint8_t>(n, b);
}

} // namespace vardex::test

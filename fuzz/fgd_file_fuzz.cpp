// Arbitrary bytes as a *.fgd picture. Properties: a decoded picture has the counts its
// first two bytes give, 1..64 each, and encodes back to exactly the bytes it was read
// from when every cell byte was "0" or "1"; its display bitmap can always be built.
#include "display/picture.h"
#include "fuzz_files.h"

#include <algorithm>

using namespace vardex;
using fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const display::FgdDecode decoded = display::decodeFgd(bytes);
    if (!decoded.ok) {
        check(!decoded.error.isEmpty());
        return 0;
    }
    check(size >= 2);
    const int columns = data[0];
    const int rows = data[1];
    check(decoded.picture.columns() == columns && decoded.picture.rows() == rows);
    check(columns >= 1 && columns <= display::kMaxFgdSide);
    check(rows >= 1 && rows <= display::kMaxFgdSide);
    check(size >= static_cast<std::size_t>(2 + columns * rows));

    const QByteArray encoded = display::encodeFgd(decoded.picture);
    check(encoded.size() == 2 + columns * rows);
    const bool onlyDigits = std::all_of(data + 2, data + 2 + columns * rows,
                                        [](std::uint8_t b) { return b == '0' || b == '1'; });
    if (onlyDigits)
        check(encoded == bytes.left(encoded.size()));
    const auto again = display::decodeFgd(encoded);
    check(again.ok && again.picture == decoded.picture);
    (void)decoded.picture.bitmapBytes();
    return 0;
}

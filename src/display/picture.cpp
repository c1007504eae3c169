#include "display/picture.h"

#include <algorithm>

namespace vardex::display {

namespace {
constexpr char kLitByte = '1';
constexpr char kDarkByte = '0';
} // namespace

Picture::Picture(int columns, int rows)
    : m_columns(std::clamp(columns, 1, kMaxFgdSide)), m_rows(std::clamp(rows, 1, kMaxFgdSide)),
      m_cells(static_cast<std::size_t>(m_columns * m_rows), 0)
{
}

bool Picture::lit(int column, int row) const
{
    if (column < 0 || column >= m_columns || row < 0 || row >= m_rows)
        return false;
    return m_cells[static_cast<std::size_t>(column * m_rows + row)] != 0;
}

void Picture::setLit(int column, int row, bool lit)
{
    if (column < 0 || column >= m_columns || row < 0 || row >= m_rows)
        return;
    m_cells[static_cast<std::size_t>(column * m_rows + row)] = lit ? 1 : 0;
}

void Picture::toggle(int column, int row)
{
    setLit(column, row, !lit(column, row));
}

void Picture::clear()
{
    std::fill(m_cells.begin(), m_cells.end(), 0);
}

std::array<std::uint8_t, 32> Picture::bitmapBytes() const
{
    std::array<std::uint8_t, 32> out{};
    for (int r = 0; r < kPictureSide; ++r) {
        for (int c = 0; c < kPictureSide; ++c) {
            if (lit(c, r))
                out[static_cast<std::size_t>(2 * r + c / 8)] |=
                    static_cast<std::uint8_t>(0x80 >> (c % 8));
        }
    }
    return out;
}

QByteArray encodeFgd(const Picture &picture)
{
    QByteArray out;
    out.reserve(2 + picture.columns() * picture.rows());
    out.append(static_cast<char>(picture.columns() & 0xFF));
    out.append(static_cast<char>(picture.rows() & 0xFF));
    for (int c = 0; c < picture.columns(); ++c) {
        for (int r = 0; r < picture.rows(); ++r)
            out.append(picture.lit(c, r) ? kLitByte : kDarkByte);
    }
    return out;
}

FgdDecode decodeFgd(const QByteArray &bytes)
{
    FgdDecode d;
    if (bytes.size() < 2) {
        d.error = QStringLiteral("нет размеров картинки");
        return d;
    }
    const int columns = static_cast<std::uint8_t>(bytes[0]);
    const int rows = static_cast<std::uint8_t>(bytes[1]);
    if (columns == 0 || rows == 0 || columns > kMaxFgdSide || rows > kMaxFgdSide) {
        d.error = QStringLiteral("недопустимый размер картинки %1 x %2 (допустимо от 1 до %3)")
                      .arg(columns)
                      .arg(rows)
                      .arg(kMaxFgdSide);
        return d;
    }
    if (bytes.size() < 2 + columns * rows) {
        d.error = QStringLiteral("файл короче картинки: %1 байт точек из %2")
                      .arg(bytes.size() - 2)
                      .arg(columns * rows);
        return d;
    }
    d.picture = Picture(columns, rows);
    qsizetype i = 2;
    for (int c = 0; c < columns; ++c) {
        for (int r = 0; r < rows; ++r)
            d.picture.setLit(c, r, bytes[i++] == kLitByte);
    }
    d.ok = true;
    return d;
}

} // namespace vardex::display

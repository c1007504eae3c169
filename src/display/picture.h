#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <vector>

// The picture the page edits: a grid of cells, lit or dark, 16 x 16 as built and
// whatever size a *.fgd file gives (1..64 each way).
namespace vardex::display {

inline constexpr int kPictureSide = 16;
inline constexpr int kMaxFgdSide = 64;
// Count bytes and the largest cell area: what a load reads at most.
inline constexpr qint64 kMaxFgdBytes = 2 + kMaxFgdSide * kMaxFgdSide;

class Picture {
public:
    Picture(int columns = kPictureSide, int rows = kPictureSide);

    int columns() const { return m_columns; }
    int rows() const { return m_rows; }
    bool lit(int column, int row) const;
    void setLit(int column, int row, bool lit);
    void toggle(int column, int row);
    void clear();

    // The 16 x 16 bitmap rows of the display command: byte 2r columns 0..7, byte 2r+1
    // columns 8..15 of row r, leftmost column in the top bit. Cells beyond the grid
    // are dark.
    std::array<std::uint8_t, 32> bitmapBytes() const;

    bool operator==(const Picture &) const = default;

private:
    int m_columns;
    int m_rows;
    std::vector<std::uint8_t> m_cells; // column by column
};

// *.fgd: byte 0 the column count C, byte 1 the row count R, then C x R bytes column
// by column, "1" (31) for a lit cell and "0" (30) for a dark one. No header.
QByteArray encodeFgd(const Picture &picture);

struct FgdDecode {
    bool ok = false;
    Picture picture;
    QString error; // why the bytes are no picture, for a message naming the file
};
// Refuses a zero count, a count above 64 and fewer cell bytes than announced.
FgdDecode decodeFgd(const QByteArray &bytes);

} // namespace vardex::display

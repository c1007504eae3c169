#pragma once

#include <array>
#include <cstdint>

// The preview's own small font: 5 x 7 glyphs for the printable ASCII range, the
// block 7F, the Cyrillic alphabet and two marks. Rows top first; bit 4 is the
// leftmost column.
namespace vardex::display {

inline constexpr int kGlyphWidth = 5;
inline constexpr int kGlyphHeight = 7;
using Glyph = std::array<std::uint8_t, kGlyphHeight>;

// Code points beyond Unicode used for the module's own marks.
inline constexpr char32_t kStarMark = 0x2605;    // the star of the two-byte code 81 9A
inline constexpr char32_t kUnknownMark = 0x25A1; // a two-byte code the font lacks

// The glyph of c; the unknown mark when the font has none.
const Glyph &glyphFor(char32_t c);
bool hasGlyph(char32_t c);

} // namespace vardex::display

#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

// The typed text to the display module's character codes. Characters are taken as
// the Windows Cyrillic code page (1251) has them: below A1 one byte; from A1 up two
// bytes, 84 and a display code (the Cyrillic letters, Ё and ё included; 00 for every
// other character there). A character the code page lacks becomes "?".
namespace vardex::display {

inline constexpr std::uint8_t kDoubleByteLead = 0x84;

// The code of c in code page 1251, if it has one.
std::optional<std::uint8_t> cp1251Code(char32_t c);
// The module's codes for text; every Cyrillic letter takes two bytes.
std::vector<std::uint8_t> toModuleCodes(const QString &text);
// The letter a display code (after 84) stands for; 0 for none.
char32_t letterOfDisplayCode(std::uint8_t code);

} // namespace vardex::display

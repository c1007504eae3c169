#pragma once

#include <cstdint>
#include <span>
#include <vector>

// The display module's command bytes. Every builder clamps its digit parameters
// instead of failing, so whatever the page's lists hold, the module gets a valid
// command. A digit d(n) is the ASCII digit 30 + n; a number N(n) is n in decimal
// ASCII without leading zeros.
namespace vardex::display {

using Command = std::vector<std::uint8_t>;
using Bytes = std::span<const std::uint8_t>;

// Most bytes one serial-line request carries.
inline constexpr int kMaxCommand = 58;
// Text bytes a scroll header carries after its fields.
inline constexpr int kScrollChunk = 42;
// The one user character's code.
inline constexpr std::uint8_t kUserCharLead = 0xEC;
inline constexpr std::uint8_t kUserCharTrail = 0x9D;

enum class Attribute { Normal = 0, Blink = 1, Reverse = 2 }; // the list's choices

Command reset();                       // ESC \ ? R
Command clearScreen();                 // ESC [ 2 J
Command eraseToLineEnd();              // ESC [ 0 K
Command cursorTo(int row, int column); // ESC [ row ; column H
Command attribute(Attribute choice);   // ESC [ 0|5|7 m
Command dimming(int level);            // ESC \ ? L D level (0..5)
Command screenMode(int mode);          // ESC \ ? L S mode (1..8)
// ESC \ ? L H mode ; line ; speed ; T ; text. T is the whole text's length (the
// rest follows as plain commands); text is at most 42 bytes.
Command singleScroll(int mode, int line, int speed, std::uint8_t total, Bytes text);
// ESC \ ? L M mode ; line ; speed ; T ; text, T the low byte of the whole length.
Command groupScrollText(int mode, int line, int speed, std::uint8_t total, Bytes text);
Command groupScrollOn();    // ESC \ ? L M S
Command groupScrollStart(); // ESC \ ? L M G
Command groupScrollOff();   // ESC \ ? L M E
// ESC \ ? L G X ; Y ; H ; W ; then H rows of W/8 bytes, top row first.
Command bitmap(int x, int y, int height, int width, Bytes rows);
// ESC \ ? L W 3 ; 1 ; EC 9D ; then 16 rows of 2 bytes.
Command userCharacter(Bytes rows);
// The 32 bytes of the one user character the page defines.
std::vector<std::uint8_t> userCharacterRows();
// Plain bytes sent as they are (text, a scroll text's continuation).
Command plain(Bytes bytes);

} // namespace vardex::display

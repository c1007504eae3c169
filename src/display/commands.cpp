#include "display/commands.h"

#include <algorithm>
#include <string>

namespace vardex::display {

namespace {

constexpr std::uint8_t kEsc = 0x1B;

std::uint8_t digit(int n)
{
    return static_cast<std::uint8_t>('0' + std::clamp(n, 0, 9));
}

void appendNumber(Command &c, int n)
{
    for (char ch : std::to_string(std::clamp(n, 0, 255)))
        c.push_back(static_cast<std::uint8_t>(ch));
}

Command prefixed(std::initializer_list<std::uint8_t> tail)
{
    Command c;
    c.reserve(4 + tail.size());
    for (std::uint8_t b : {kEsc, std::uint8_t{'\\'}, std::uint8_t{'?'}, std::uint8_t{'L'}})
        c.push_back(b);
    for (std::uint8_t b : tail)
        c.push_back(b);
    return c;
}

// The fields shared by both scroll headers: mode ; line ; speed ; T ; text.
Command scrollHeader(std::uint8_t kind, std::uint8_t mode, std::uint8_t line, std::uint8_t speed,
                     std::uint8_t total, Bytes text)
{
    Command c = prefixed({kind, mode, ';', line, ';', speed, ';', total, ';'});
    const auto n = std::min<std::size_t>(text.size(), kScrollChunk);
    c.insert(c.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n));
    return c;
}

} // namespace

Command reset()
{
    return {kEsc, '\\', '?', 'R'};
}

Command clearScreen()
{
    return {kEsc, '[', '2', 'J'};
}

Command eraseToLineEnd()
{
    return {kEsc, '[', '0', 'K'};
}

Command cursorTo(int row, int column)
{
    return {kEsc, '[', digit(row), ';', digit(column), 'H'};
}

Command attribute(Attribute choice)
{
    static constexpr std::uint8_t kCodes[] = {'0', '5', '7'};
    const int i = std::clamp(static_cast<int>(choice), 0, 2);
    return {kEsc, '[', kCodes[i], 'm'};
}

Command dimming(int level)
{
    return prefixed({'D', digit(std::clamp(level, 0, 5))});
}

Command screenMode(int mode)
{
    return prefixed({'S', digit(std::clamp(mode, 1, 8))});
}

Command singleScroll(int mode, int line, int speed, std::uint8_t total, Bytes text)
{
    return scrollHeader('H', digit(std::clamp(mode, 1, 7)), digit(std::clamp(line, 1, 8)),
                        digit(std::clamp(speed, 0, 3)), total, text);
}

Command groupScrollText(int mode, int line, int speed, std::uint8_t total, Bytes text)
{
    return scrollHeader('M', digit(mode == 0 ? 1 : mode), digit(line),
                        digit(std::clamp(speed, 1, 2)), total, text);
}

Command groupScrollOn()
{
    return prefixed({'M', 'S'});
}

Command groupScrollStart()
{
    return prefixed({'M', 'G'});
}

Command groupScrollOff()
{
    return prefixed({'M', 'E'});
}

Command bitmap(int x, int y, int height, int width, Bytes rows)
{
    Command c = prefixed({'G'});
    for (int n : {x, y, height, width}) {
        appendNumber(c, n);
        c.push_back(';');
    }
    c.insert(c.end(), rows.begin(), rows.end());
    return c;
}

Command userCharacter(Bytes rows)
{
    Command c = prefixed({'W', '3', ';', '1', ';', kUserCharLead, kUserCharTrail, ';'});
    c.insert(c.end(), rows.begin(), rows.begin() + std::min<std::ptrdiff_t>(rows.size(), 32));
    return c;
}

std::vector<std::uint8_t> userCharacterRows()
{
    static constexpr std::uint16_t kRows[16] = {0x0000, 0x3FFE, 0x0220, 0x0220, 0x0220, 0x1FFC,
                                                0x1224, 0x1224, 0x1224, 0x1224, 0x1FFC, 0x0220,
                                                0x0220, 0x0220, 0xFFFF, 0x0000};
    std::vector<std::uint8_t> out;
    for (std::uint16_t r : kRows) {
        out.push_back(static_cast<std::uint8_t>(r >> 8));
        out.push_back(static_cast<std::uint8_t>(r & 0xFF));
    }
    return out;
}

Command plain(Bytes bytes)
{
    return Command(bytes.begin(), bytes.end());
}

} // namespace vardex::display

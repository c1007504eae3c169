#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

// A model of the 256 x 64 display module, fed with the bytes that reach its serial
// line, so that the engineer sees what the module should show. It reads the
// command set the page sends: cursor, clear, erase to end of line, character
// attributes, brightness, screen modes and their character cells, text (one-byte
// codes in a half-width cell, two-byte codes in a full-width one), bitmaps and the
// user character. Scrolling text is shown standing, with a marker at the row's right
// end. Bytes arrive in pieces of any size; a command may span several pieces.
// Anything it cannot read is dropped and reading starts again at the next byte.
namespace vardex::display {

class ModuleModel {
public:
    static constexpr int kWidth = 256;
    static constexpr int kHeight = 64;
    static constexpr int kInitialMode = 3;

    ModuleModel();

    void feed(std::span<const std::uint8_t> bytes);
    // Power-on state: dark, mode 3, full brightness, no user character, no command
    // half read.
    void reset();

    bool pixel(int x, int y) const;
    int litPixels() const;
    int litPixels(int x, int y, int width, int height) const;
    int dimming() const { return m_dimming; }
    // Brightness of the level in per cent ("Выкл", 32, 45, 79, 100, 100).
    int brightnessPercent() const;
    int screenMode() const { return m_mode; }
    // Grows with every piece fed, so a view knows when to paint again.
    int revision() const { return m_revision; }

    // One character row of a screen mode: its top, height and cell widths.
    struct Row {
        int y;
        int height;
        int halfWidth; // one-byte codes
        int fullWidth; // two-byte codes
    };
    static std::vector<Row> rowsOf(int mode);

    bool operator==(const ModuleModel &other) const
    {
        return m_pixels == other.m_pixels && m_dimming == other.m_dimming;
    }

private:
    enum class State { Text, Escape, Payload };
    enum class Payload { SingleScroll, GroupScroll, Bitmap, UserChar };
    enum class Parse { Incomplete, Invalid, Done };

    void takeText(std::uint8_t b);
    void takeEscape(std::uint8_t b);
    void takePayload(std::uint8_t b);
    Parse parseEscape();
    void startPayload(Payload kind, int needed);
    void finishPayload();

    void setPixel(int x, int y, bool lit);
    void fill(int x, int y, int width, int height, bool lit);
    // Draws code (one byte, or lead and trail) in a cell; returns the cell width.
    int drawCode(int x, const Row &row, std::uint8_t lead, std::uint8_t code, bool reverse,
                 bool blink);
    // Draws text standing in a row of a mode, for the scroll commands.
    void drawStandingText(int mode, int line, std::span<const std::uint8_t> text);
    const Row *cursorRow() const;
    void setMode(int mode);

    std::array<std::uint8_t, kWidth * kHeight / 8> m_pixels{};
    int m_revision = 0;
    int m_dimming = 5;
    int m_mode = kInitialMode;
    std::vector<Row> m_rows; // the character rows of m_mode
    int m_attribute = 0;     // 0, 5 blinking, 7 reverse
    int m_row = 1;           // cursor row, 1-based
    int m_x = 0;             // cursor column in pixels

    State m_state = State::Text;
    std::uint8_t m_lead = 0; // first byte of a two-byte code
    std::vector<std::uint8_t> m_sequence;
    Payload m_payloadKind = Payload::Bitmap;
    int m_payloadNeeded = 0;
    std::vector<std::uint8_t> m_payload;
    std::array<int, 4> m_args{}; // the numbers of the sequence whose payload is read

    std::array<std::uint8_t, 32> m_userRows{};
    std::uint8_t m_userLead = 0, m_userTrail = 0;
    bool m_userDefined = false;
    std::vector<std::pair<int, int>> m_groupRows; // (mode, line) of group-scroll texts
};

} // namespace vardex::display

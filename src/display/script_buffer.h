#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <span>

// The record of every display command sent, kept for the stand-alone test the
// controller plays by itself. 256 bytes; each entry is FE, its length L and the L
// command bytes, and starts at an offset that is a multiple of 8. P (1..255) is the
// offset of the next entry's length byte.
namespace vardex::display {

class ScriptBuffer {
public:
    static constexpr int kSize = 256;
    static constexpr std::uint8_t kMarker = 0xFE;

    // Records one command. A command that would run past the last byte starts a new
    // pass at P = 1 instead of being cut or written beyond the buffer; one that
    // cannot fit even there (more than 253 bytes) is not recorded (false).
    bool append(std::span<const std::uint8_t> command);
    // All bytes 0, P = 1.
    void clear();

    int position() const { return m_position; }
    const std::array<std::uint8_t, kSize> &bytes() const { return m_bytes; }
    // "Зап. " and the next write position.
    QString caption() const { return captionFor(m_position); }
    static QString captionFor(int position);

private:
    std::array<std::uint8_t, kSize> m_bytes{};
    int m_position = 1;
};

} // namespace vardex::display

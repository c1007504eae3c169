#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace vardex::sim {

// The controller's 8 KiB non-volatile memory. Addresses above the top are
// clamped to the last byte, as the controller does; a block running past the
// end is cut at the end.
class Memory {
public:
    static constexpr std::size_t kSize = 8192;
    static constexpr std::size_t kLastAddress = kSize - 1;

    // Areas the program relies on.
    static constexpr std::size_t kStoredLoops = 4096; // + 64*(n-1), 56 bytes each
    static constexpr std::size_t kStoredLoopStride = 64;
    static constexpr std::size_t kLogPointers = 6912; // two 16-bit ring positions
    static constexpr std::size_t kBlackBox = 7168;    // 58 bytes

    static std::size_t clampAddress(std::size_t address)
    {
        return address > kLastAddress ? kLastAddress : address;
    }

    // Copies up to out.size() bytes from address; returns how many were copied.
    std::size_t read(std::size_t address, std::span<std::uint8_t> out) const;
    // Writes up to in.size() bytes at address; returns how many were written.
    std::size_t write(std::size_t address, std::span<const std::uint8_t> in);

    std::span<std::uint8_t> bytes() { return m_bytes; }
    std::span<const std::uint8_t> bytes() const { return m_bytes; }

private:
    std::array<std::uint8_t, kSize> m_bytes{};
};

} // namespace vardex::sim

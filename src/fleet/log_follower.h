#pragma once

#include <cstdint>
#include <optional>

// Which event-log record comes next. Each record carries its number (the count of
// records ever written), and the ring fills slot after slot, wrapping at 16384: the
// record after the newest one taken sits in the next slot and carries the next number.
// Anything else there (an erased slot, a record the ring has not yet overwritten) means
// nothing new yet.
namespace vardex::fleet {

inline constexpr int kLogSlots = 16384;
inline constexpr int kLogBlocks = 4096;

class LogFollower {
public:
    bool synced() const { return m_lastNumber.has_value(); }
    // Where to start looking for the newest record: the first slot of the block before
    // the one the ring positions name as next (0..4095), so the newest record lies at
    // or after it whichever way a controller counts a partly filled block.
    static int searchStart(int nextBlock);
    // The newest record is in slot (1..16384) with this number; 0 slot and number for
    // an empty log.
    void sync(int slot, std::uint32_t number);
    // The slot to read next (1..16384).
    int nextSlot() const { return m_lastSlot % kLogSlots + 1; }
    // The record read from nextSlot(): true when it is the next one (and it is taken).
    bool offer(std::uint32_t number);
    // Another controller, or the same one back: sync again before reading.
    void reset();

private:
    int m_lastSlot = 0;
    std::optional<std::uint32_t> m_lastNumber;
};

} // namespace vardex::fleet

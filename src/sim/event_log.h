#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace vardex::sim {

class Memory;

// The controller's event-log ring of 16384 slots (slot n answers record index n,
// 1..16384). Each slot holds the 74-byte record payload the controller sends:
//   0 number (uint32), 4 day, 5 month, 6 year since 2000, 7 hour, 8 minute, 9 second,
//   10 contacts, 11 TTL inputs, 12 analog 1..5 (float32), 32 mains (float32),
//   36 temperatures 1..6 (int16, raw), 48 fan speeds 1..4 (uint16),
//   56 TTL output state, 57 switch state, 58 relay state,
//   59 TTL output control, 60 switch control, 61 relay control,
//   62 fan tasks 1..4 (per cent), 66 system flag bytes 1..8.
// The payload goes out as two reports: bytes 0..49 (Sub 0) and 50..73 (Sub 1).
//
// Ring positions (two uint16 at memory 6912) count blocks of four records:
// word A is the block the next record goes to, word B the oldest block. An empty
// log has A = B = 0; until the ring wraps B stays 0; once it has wrapped B is the
// block after A. (With A = 4095 after a wrap B becomes 0 and the reader counts
// 16380 records: the controller's own quirk, kept.)
class EventLog {
public:
    static constexpr std::size_t kSlots = 16384;
    static constexpr std::size_t kRecordSize = 74;
    static constexpr std::size_t kFirstHalf = 50;
    using Record = std::array<std::uint8_t, kRecordSize>;

    // Stores the record in the next slot, numbering it (the number field is
    // overwritten with the count of records ever written).
    void append(Record record);
    // The payload of record index 1..16384; a slot never written reads as erased
    // memory (all 0xFF). nullopt for an index outside 1..16384.
    std::optional<Record> record(std::size_t index) const;

    std::uint64_t written() const { return m_written; }
    std::uint16_t pointerA() const;
    std::uint16_t pointerB() const;
    // Mirrors the two ring positions into the controller memory.
    void storePointers(Memory &memory) const;
    void clear();

private:
    std::vector<Record> m_slots; // grown on demand up to kSlots
    std::uint64_t m_written = 0;
};

} // namespace vardex::sim

#include "sim/event_log.h"

#include "link/bytes.h"
#include "sim/memory.h"

namespace vardex::sim {

using namespace vardex::bytes;

void EventLog::append(Record record)
{
    const std::size_t slot = m_written % kSlots;
    ++m_written;
    putU32(record, 0, static_cast<std::uint32_t>(m_written));
    if (m_slots.size() <= slot)
        m_slots.resize(slot + 1);
    m_slots[slot] = record;
}

std::optional<EventLog::Record> EventLog::record(std::size_t index) const
{
    if (index < 1 || index > kSlots)
        return std::nullopt;
    if (index > m_slots.size()) {
        Record erased;
        erased.fill(0xFF);
        return erased;
    }
    return m_slots[index - 1];
}

std::uint16_t EventLog::pointerA() const
{
    return static_cast<std::uint16_t>(((m_written + 3) / 4) % 4096);
}

std::uint16_t EventLog::pointerB() const
{
    if (m_written < kSlots)
        return 0;
    return static_cast<std::uint16_t>((pointerA() + 1) % 4096);
}

void EventLog::storePointers(Memory &memory) const
{
    std::array<std::uint8_t, 4> words{};
    putU16(words, 0, pointerA());
    putU16(words, 2, pointerB());
    memory.write(Memory::kLogPointers, words);
}

void EventLog::clear()
{
    m_slots.clear();
    m_written = 0;
}

} // namespace vardex::sim

#include "fleet/log_follower.h"

namespace vardex::fleet {

int LogFollower::searchStart(int nextBlock)
{
    const int block = ((nextBlock % kLogBlocks) + kLogBlocks - 1) % kLogBlocks;
    return block * (kLogSlots / kLogBlocks) + 1;
}

void LogFollower::sync(int slot, std::uint32_t number)
{
    m_lastSlot = slot;
    m_lastNumber = number;
}

bool LogFollower::offer(std::uint32_t number)
{
    if (!m_lastNumber || number != *m_lastNumber + 1)
        return false;
    m_lastNumber = number;
    m_lastSlot = nextSlot();
    return true;
}

void LogFollower::reset()
{
    m_lastSlot = 0;
    m_lastNumber.reset();
}

} // namespace vardex::fleet

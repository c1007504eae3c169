// The simulated firmware: the event log (code 11) and the black box counters.
#include "link/bytes.h"
#include "sim/firmware.h"
#include "sim/firmware_wire.h"

#include <algorithm>

namespace vardex::sim {

using namespace vardex::bytes;
using namespace wire;

// Black box counters: uint16 count at offset, then day, month, year, hour, minute,
// second of the last update.
void Firmware::countUpdate(std::size_t offset)
{
    auto box = m_memory.bytes().subspan(Memory::kBlackBox, 58);
    putU16(box, offset, static_cast<std::uint16_t>(u16(box, offset) + 1));
    const QDate d = m_clock.date();
    const QTime t = m_clock.time();
    const std::array<int, 6> stamp = {d.day(),  d.month(),  d.year() - 2000,
                                      t.hour(), t.minute(), t.second()};
    for (std::size_t i = 0; i < stamp.size(); ++i)
        putU8(box, offset + 2 + i, static_cast<std::uint8_t>(stamp[i]));
}

std::vector<Payload> Firmware::readLogRecord(const Payload &rq)
{
    const std::size_t index = rq[pos::Arg1] | (rq[pos::Arg2] << 8);
    const auto record = m_log.record(index);
    if (!record)
        return {errorReply()};
    Payload first = replyTo(rq, EventLog::kFirstHalf);
    first[pos::Sub] = 0;
    std::copy_n(record->begin(), EventLog::kFirstHalf, dataOf(first).begin());
    Payload second = replyTo(rq, EventLog::kRecordSize - EventLog::kFirstHalf);
    second[pos::Sub] = 1;
    std::copy(record->begin() + EventLog::kFirstHalf, record->end(), dataOf(second).begin());
    return {first, second};
}

void Firmware::logSnapshot()
{
    m_log.append(snapshotRecord());
    m_log.storePointers(m_memory);
}

} // namespace vardex::sim

// The simulated firmware: live state, output task and clock (codes 2, 3, 4, 5).
#include "link/bytes.h"
#include "sim/firmware.h"
#include "sim/firmware_wire.h"

#include <algorithm>

namespace vardex::sim {

using namespace vardex::bytes;
using namespace wire;

std::vector<Payload> Firmware::readState(const Payload &rq)
{
    Payload p = replyTo(rq);
    auto d = dataOf(p);
    if (rq[pos::Sub] == 0) {
        // 0 contacts, 1 TTL inputs, 2 analog 1..6 (float32), 26 temperatures (int16),
        // 38 fan speeds (uint16), 46 TTL outputs, 47 switches, 48 relays,
        // 49 fan tasks 1..4, 53 flag bytes 1..4.
        putU8(d, 0, m_live.contacts);
        putU8(d, 1, m_live.ttlInputs);
        for (std::size_t i = 0; i < 6; ++i) {
            putF32(d, 2 + 4 * i, m_live.analog[i]);
            putI16(d, 26 + 2 * i, m_live.temperatures[i]);
        }
        for (std::size_t i = 0; i < 4; ++i) {
            putU16(d, 38 + 2 * i, m_live.fanSpeeds[i]);
            putU8(d, 49 + i, m_live.fanTasks[i]);
            putU8(d, 53 + i, m_live.flags[i]);
        }
        putU8(d, 46, m_live.ttlOutputs);
        putU8(d, 47, m_live.switches);
        putU8(d, 48, m_live.relays);
        p[pos::Len] = 57;
    } else if (rq[pos::Sub] == 1) {
        for (std::size_t i = 0; i < 4; ++i)
            putU8(d, i, m_live.flags[4 + i]);
        p[pos::Len] = 4;
    } else {
        return {errorReply()};
    }
    return {p};
}

std::vector<Payload> Firmware::writeOutputTask(const Payload &rq)
{
    const auto d = dataOf(rq);
    m_task.ttlOutputs = d[0];
    m_task.switches = d[1];
    m_task.relays = d[2];
    for (std::size_t i = 0; i < 4; ++i)
        m_task.fans[i] = std::min<std::uint8_t>(d[3 + i], 100);
    updateOutputs();
    updateFlags();
    return {replyTo(rq)};
}

std::vector<Payload> Firmware::readClock(const Payload &rq)
{
    Payload p = replyTo(rq, 6);
    const QDate date = m_clock.date();
    const QTime time = m_clock.time();
    auto d = dataOf(p);
    d[0] = static_cast<std::uint8_t>(date.year() - 2000);
    d[1] = static_cast<std::uint8_t>(date.month());
    d[2] = static_cast<std::uint8_t>(date.day());
    d[3] = static_cast<std::uint8_t>(time.hour());
    d[4] = static_cast<std::uint8_t>(time.minute());
    d[5] = static_cast<std::uint8_t>(time.second());
    return {p};
}

std::vector<Payload> Firmware::writeClock(const Payload &rq)
{
    const auto d = dataOf(rq);
    const QDate date(2000 + d[0], d[1], d[2]);
    const QTime time(d[3], d[4], d[5]);
    if (date.isValid() && time.isValid())
        setClock(QDateTime(date, time, Qt::UTC));
    return {}; // no reply
}

void Firmware::setClock(const QDateTime &utc)
{
    m_clock = utc.toUTC();
    m_clockRemainderMs = 0;
}

} // namespace vardex::sim

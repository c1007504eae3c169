// The simulated firmware: loop records (codes 6 and 7) and their stored copies.
#include "link/bytes.h"
#include "sim/firmware.h"
#include "sim/firmware_wire.h"

#include <algorithm>

namespace vardex::sim {

using namespace vardex::bytes;
using namespace wire;

LoopRecord Firmware::loop(int n) const
{
    if (n < 1 || n > kLoops)
        return {};
    const auto at = Memory::kStoredLoops + Memory::kStoredLoopStride * (n - 1);
    return LoopRecord::decodeStored(m_memory.bytes().subspan(at, LoopRecord::kSize));
}

void Firmware::setLoop(int n, const LoopRecord &record)
{
    if (n < 1 || n > kLoops)
        return;
    m_memory.write(Memory::kStoredLoops + Memory::kStoredLoopStride * (n - 1),
                   record.encodeStored());
    updateOutputs();
    updateFlags();
}

std::array<std::uint8_t, 12> Firmware::loopExt(int n) const
{
    return (n < 1 || n > kLoops) ? std::array<std::uint8_t, 12>{} : m_loopExt[n - 1];
}

void Firmware::setLoopExt(int n, const std::array<std::uint8_t, 12> &record)
{
    if (n >= 1 && n <= kLoops)
        m_loopExt[n - 1] = record;
}

void Firmware::corruptStoredLoop(int n)
{
    if (n < 1 || n > kLoops)
        return;
    auto &byte = m_memory.bytes()[Memory::kStoredLoops + Memory::kStoredLoopStride * (n - 1) + 2];
    byte ^= 0xC0;
}

std::vector<Payload> Firmware::readLoop(const Payload &rq)
{
    const int n = rq[pos::Sub];
    const int kind = rq[pos::Arg1];
    if (n < 1 || n > kLoops || kind > 1)
        return {errorReply()};
    Payload p = replyTo(rq);
    if (kind == 1 && !hasExtendedLoops()) {
        p[pos::Len] = 0;
    } else if (kind == 0) {
        const auto wire = loop(n).encodeWire();
        std::copy(wire.begin(), wire.end(), dataOf(p).begin());
        p[pos::Len] = LoopRecord::kSize;
    } else {
        std::copy(m_loopExt[n - 1].begin(), m_loopExt[n - 1].end(), dataOf(p).begin());
        p[pos::Len] = 12;
    }
    return {p};
}

std::vector<Payload> Firmware::writeLoop(const Payload &rq)
{
    const int n = rq[pos::Sub];
    const int kind = rq[pos::Arg1];
    if (n < 1 || n > kLoops || kind > 1)
        return {errorReply()};
    if (kind == 1 && !hasExtendedLoops()) {
        // Nothing kept; acknowledged all the same.
    } else if (kind == 0) {
        setLoop(n, LoopRecord::decodeWire(dataOf(rq)));
        countUpdate(16);
    } else {
        std::copy_n(dataOf(rq).begin(), 12, m_loopExt[n - 1].begin());
        updateOutputs();
        updateFlags();
    }
    return {replyTo(rq)};
}

} // namespace vardex::sim

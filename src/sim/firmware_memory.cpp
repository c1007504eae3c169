// The simulated firmware: memory access and identity (codes 32, 33, 34).
#include "link/bytes.h"
#include "sim/firmware.h"
#include "sim/firmware_wire.h"

#include <algorithm>

namespace vardex::sim {

using namespace vardex::bytes;
using namespace wire;

std::vector<Payload> Firmware::memoryRead(const Payload &rq)
{
    const std::size_t address = rq[pos::Sub] | (rq[pos::Arg1] << 8);
    const std::size_t count = std::min<std::size_t>(rq[pos::Len], kDataSize);
    Payload p = replyTo(rq);
    const std::size_t n = m_memory.read(address, dataOf(p).first(count));
    p[pos::Len] = static_cast<std::uint8_t>(n);
    return {p};
}

std::vector<Payload> Firmware::memoryWrite(const Payload &rq)
{
    const std::size_t address = rq[pos::Sub] | (rq[pos::Arg1] << 8);
    const std::size_t count = rq[pos::Len];
    if (count < 1 || count > kDataSize)
        return {errorReply()};
    m_memory.write(address, dataOf(rq).first(count));
    updateOutputs();
    updateFlags();
    return {replyTo(rq)};
}

std::vector<Payload> Firmware::identity(const Payload &rq)
{
    if (rq[pos::Sub] != 33)
        return {errorReply()};
    Payload p = replyTo(rq, 40);
    for (std::size_t i = 0; i < m_identity.size(); ++i)
        putU32(dataOf(p), 4 * i, m_identity[i]);
    return {p};
}

} // namespace vardex::sim

// The simulated firmware: the serial line (codes 12 and 13).
#include "link/bytes.h"
#include "sim/firmware.h"
#include "sim/firmware_wire.h"

#include <algorithm>

namespace vardex::sim {

using namespace vardex::bytes;
using namespace wire;

namespace {
constexpr std::size_t kSerialKeep = 4096;
}

std::vector<Payload> Firmware::serialSend(const Payload &rq)
{
    const std::size_t n = std::min<std::size_t>(rq[pos::Len], kDataSize);
    const auto d = dataOf(rq);
    m_serialBytes.insert(m_serialBytes.end(), d.begin(), d.begin() + n);
    if (m_serialBytes.size() > kSerialKeep)
        m_serialBytes.erase(m_serialBytes.begin(),
                            m_serialBytes.end() - static_cast<std::ptrdiff_t>(kSerialKeep));
    return {replyTo(rq)};
}

std::vector<Payload> Firmware::serialRead(const Payload &rq)
{
    Payload p = replyTo(rq, 1);
    p[kData] = m_serialBytes.empty() ? 0 : m_serialBytes.back();
    return {p};
}

} // namespace vardex::sim

// The simulated firmware: configuration pages (codes 1 and 9).
#include "link/bytes.h"
#include "sim/firmware.h"
#include "sim/firmware_wire.h"

namespace vardex::sim {

using namespace vardex::bytes;
using namespace wire;

std::vector<Payload> Firmware::readConfigPage(const Payload &rq)
{
    const int page = rq[pos::Sub];
    if (page >= ConfigPages::kPages)
        return {errorReply()};
    const auto bytes = m_config.page(page);
    Payload p = replyTo(rq, static_cast<std::uint8_t>(bytes.size()));
    std::copy(bytes.begin(), bytes.end(), dataOf(p).begin());
    return {p};
}

std::vector<Payload> Firmware::writeConfigPage(const Payload &rq)
{
    const int page = rq[pos::Sub];
    if (page >= ConfigPages::kPages)
        return {errorReply()};
    m_config.writeFromRequest(page, dataOf(rq));
    if (page == 3)
        countUpdate(8);
    updateMeasurements();
    updateOutputs();
    updateFlags();
    return {replyTo(rq)};
}

} // namespace vardex::sim

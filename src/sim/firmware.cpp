#include "sim/firmware.h"

#include "sim/firmware_wire.h"

#include <array>

namespace vardex::sim {

namespace pos = link::pos;

Firmware::Firmware() : m_clock(QDate(2012, 1, 1), QTime(0, 0), Qt::UTC)
{
    m_log.storePointers(m_memory);
    updateMeasurements();
    updateOutputs();
    updateFlags();
}

Payload Firmware::errorReply()
{
    Payload p{};
    p[0] = 0xFF;
    p[1] = 'E';
    p[2] = 'R';
    p[3] = 'R';
    return p;
}

// The request table: one handler per request code, each in the file of its area
// (firmware_<area>.cpp). A new request is a line here and a handler there.
const Firmware::HandlerTable &Firmware::handlers()
{
    static const HandlerTable table = [] {
        HandlerTable t{};
        const std::pair<std::uint8_t, Handler> routes[] = {
            {1, &Firmware::readConfigPage},  {2, &Firmware::readState},
            {3, &Firmware::writeOutputTask}, {4, &Firmware::readClock},
            {5, &Firmware::writeClock},      {6, &Firmware::readLoop},
            {7, &Firmware::writeLoop},       {9, &Firmware::writeConfigPage},
            {11, &Firmware::readLogRecord},  {12, &Firmware::serialSend},
            {13, &Firmware::serialRead},     {15, &Firmware::signedCommand},
            {32, &Firmware::memoryRead},     {33, &Firmware::memoryWrite},
            {34, &Firmware::identity},
        };
        for (const auto &[code, handler] : routes)
            t[code] = handler;
        return t;
    }();
    return table;
}

std::vector<Payload> Firmware::handle(const Payload &rq)
{
    const Handler handler = handlers()[rq[pos::Code]];
    if (!handler)
        return {errorReply()};
    return (this->*handler)(rq);
}

} // namespace vardex::sim

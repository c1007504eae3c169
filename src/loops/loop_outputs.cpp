#include "loops/loop_outputs.h"

namespace vardex::loops {

bool loopOutputEnabled(const link::MonitorConfig &c, int n)
{
    auto bit = [](std::uint8_t mask, int b) { return ((mask >> b) & 1) != 0; };
    if (n >= 1 && n <= 8)
        return bit(c.ttlOutputEnable, n - 1);
    if (n >= 9 && n <= 16) // high-side in bits 0..3, low-side in bits 4..7
        return bit(c.switchEnable, n - 9);
    if (n >= 17 && n <= 22)
        return bit(c.relayEnable, n - 17);
    if (n >= 23 && n <= 26)
        return bit(c.fanEnable, n - 23);
    return false;
}

QString outputItemName(int k)
{
    if (k >= 1 && k <= 8)
        return QStringLiteral("TTL_выход_%1").arg(k);
    if (k >= 9 && k <= 12)
        return QStringLiteral("Верхн_ключ_%1").arg(k - 8);
    if (k >= 13 && k <= 16)
        return QStringLiteral("Нижн_ключ_%1").arg(k - 12);
    if (k >= 17 && k <= 22)
        return QStringLiteral("Реле_%1").arg(k - 16);
    if (k >= 23 && k <= 26)
        return QStringLiteral("ШИМ_%1").arg(k - 22);
    return {};
}

} // namespace vardex::loops

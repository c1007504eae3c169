#include "link/stored_loop.h"

#include "link/bytes.h"

namespace vardex::link::loopcodec {

using namespace vardex::bytes;

std::uint8_t packUse(std::uint8_t analogUse, std::uint8_t hostControl)
{
    return static_cast<std::uint8_t>((hostControl << 6) | analogUse);
}

void splitUse(std::uint8_t packed, std::uint8_t &analogUse, std::uint8_t &hostControl)
{
    analogUse = packed & 0x3F;
    hostControl = packed >> 6;
}

UprLoopConfig decodeStoredLoop(std::span<const std::uint8_t, kStoredLoopSize> block)
{
    const Bytes b(block);
    UprLoopConfig l;
    l.contactUse = u8(b, 0);
    l.ttlInputUse = u8(b, 1);
    splitUse(u8(b, 2), l.analogUse, l.hostControl);
    l.temperUse = u8(b, 3);
    expandModes(u8(b, 4), l.contactMode);
    expandModes(u8(b, 5), l.ttlInputMode);
    expandModes(u8(b, 6), l.analogMode);
    expandModes(u8(b, 7), l.temperMode);
    for (int i = 0; i < 6; ++i) {
        l.analogLevelLo[i] = i16(b, 8 + 2 * i);
        l.analogLevelHi[i] = i16(b, 20 + 2 * i);
        l.temperLevelLo[i] = i16(b, 32 + 2 * i);
        l.temperLevelHi[i] = i16(b, 44 + 2 * i);
    }
    return l;
}

std::array<std::uint8_t, kStoredLoopSize> encodeStoredLoop(const UprLoopConfig &l)
{
    std::array<std::uint8_t, kStoredLoopSize> out{};
    const MutableBytes b(out);
    putU8(b, 0, l.contactUse);
    putU8(b, 1, l.ttlInputUse);
    putU8(b, 2, packUse(l.analogUse, l.hostControl));
    putU8(b, 3, l.temperUse);
    putU8(b, 4, packModes(l.contactMode));
    putU8(b, 5, packModes(l.ttlInputMode));
    putU8(b, 6, packModes(l.analogMode));
    putU8(b, 7, packModes(l.temperMode));
    for (int i = 0; i < 6; ++i) {
        putI16(b, 8 + 2 * i, l.analogLevelLo[i]);
        putI16(b, 20 + 2 * i, l.analogLevelHi[i]);
        putI16(b, 32 + 2 * i, l.temperLevelLo[i]);
        putI16(b, 44 + 2 * i, l.temperLevelHi[i]);
    }
    return out;
}

bool storedLoopEquals(const UprLoopConfig &s, const UprLoopConfig &m)
{
    return s.contactUse == m.contactUse && s.ttlInputUse == m.ttlInputUse &&
           s.analogUse == m.analogUse && s.temperUse == m.temperUse &&
           s.analogLevelLo == m.analogLevelLo && s.analogLevelHi == m.analogLevelHi &&
           s.temperLevelLo == m.temperLevelLo && s.temperLevelHi == m.temperLevelHi &&
           s.contactMode == m.contactMode && s.ttlInputMode == m.ttlInputMode &&
           s.analogMode == m.analogMode && s.temperMode == m.temperMode &&
           s.hostControl == m.hostControl;
}

} // namespace vardex::link::loopcodec

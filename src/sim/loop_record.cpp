#include "sim/loop_record.h"

#include "link/bytes.h"

#include <cassert>

namespace vardex::sim {

using namespace vardex::bytes;

namespace {

void putLevels(MutableBytes b, std::size_t at, const LoopRecord &r)
{
    for (std::size_t i = 0; i < 6; ++i) {
        putI16(b, at + 2 * i, r.analogLo[i]);
        putI16(b, at + 12 + 2 * i, r.analogHi[i]);
        putI16(b, at + 24 + 2 * i, r.temperLo[i]);
        putI16(b, at + 36 + 2 * i, r.temperHi[i]);
    }
}

void getLevels(Bytes b, std::size_t at, LoopRecord &r)
{
    for (std::size_t i = 0; i < 6; ++i) {
        r.analogLo[i] = i16(b, at + 2 * i);
        r.analogHi[i] = i16(b, at + 12 + 2 * i);
        r.temperLo[i] = i16(b, at + 24 + 2 * i);
        r.temperHi[i] = i16(b, at + 36 + 2 * i);
    }
}

void putHead(MutableBytes b, const LoopRecord &r)
{
    putU8(b, 0, r.contactUse);
    putU8(b, 1, r.ttlInputUse);
    putU8(b, 2, static_cast<std::uint8_t>((r.analogUse & 0x3F) | ((r.hostControl & 3) << 6)));
    putU8(b, 3, r.temperUse);
}

void getHead(Bytes b, LoopRecord &r)
{
    r.contactUse = u8(b, 0);
    r.ttlInputUse = u8(b, 1);
    r.analogUse = u8(b, 2) & 0x3F;
    r.hostControl = u8(b, 2) >> 6;
    r.temperUse = u8(b, 3);
}

void putModes(MutableBytes b, std::size_t at, const LoopRecord &r)
{
    putU8(b, at, r.contactMode);
    putU8(b, at + 1, r.ttlInputMode);
    putU8(b, at + 2, r.analogMode);
    putU8(b, at + 3, r.temperMode);
}

void getModes(Bytes b, std::size_t at, LoopRecord &r)
{
    r.contactMode = u8(b, at);
    r.ttlInputMode = u8(b, at + 1);
    r.analogMode = u8(b, at + 2);
    r.temperMode = u8(b, at + 3);
}

} // namespace

LoopRecord::Bytes LoopRecord::encodeWire() const
{
    Bytes b{};
    putHead(b, *this);
    putLevels(b, 4, *this);
    putModes(b, 52, *this);
    return b;
}

LoopRecord LoopRecord::decodeWire(std::span<const std::uint8_t> bytes)
{
    assert(bytes.size() >= kSize);
    LoopRecord r;
    if (bytes.size() < kSize)
        return r;
    getHead(bytes, r);
    getLevels(bytes, 4, r);
    getModes(bytes, 52, r);
    return r;
}

LoopRecord::Bytes LoopRecord::encodeStored() const
{
    Bytes b{};
    putHead(b, *this);
    putModes(b, 4, *this);
    putLevels(b, 8, *this);
    return b;
}

LoopRecord LoopRecord::decodeStored(std::span<const std::uint8_t> bytes)
{
    assert(bytes.size() >= kSize);
    LoopRecord r;
    if (bytes.size() < kSize)
        return r;
    getHead(bytes, r);
    getModes(bytes, 4, r);
    getLevels(bytes, 8, r);
    return r;
}

} // namespace vardex::sim

#include "link/protocol.h"
#include "link/stored_loop.h"

#include <gtest/gtest.h>

using namespace vardex::link;
namespace proto = vardex::link::protocol;

namespace {

UprLoopConfig sampleLoop()
{
    UprLoopConfig l;
    l.contactUse = 0x81;
    l.ttlInputUse = 0x0F;
    l.analogUse = 0x05;
    l.temperUse = 0x21;
    l.hostControl = 3;
    l.analogLevelLo = {-1, 2, -3, 4, -5, 6};
    l.analogLevelHi = {1000, 2000, 3000, 4000, 5000, 6000};
    l.temperLevelLo = {-160, -80, 0, 80, 160, 32767};
    l.temperLevelHi = {-32768, 1, 2, 3, 4, 5};
    l.contactMode = {1, 0, 0, 0, 0, 0, 0, 1};
    l.ttlInputMode = {0, 1, 0, 1, 0, 1, 0, 1};
    l.analogMode = {1, 1, 0, 0, 1, 0};
    l.temperMode = {0, 0, 0, 0, 0, 1};
    return l;
}

} // namespace

TEST(LoopCodec, MainRecordPacksUseByteAndModeBits)
{
    const Payload p = proto::writeLoop(7, sampleLoop());
    EXPECT_EQ(p[pos::Code], 7);
    EXPECT_EQ(p[pos::Sub], 7);
    EXPECT_EQ(p[pos::Arg1], 0);
    EXPECT_EQ(p[pos::Len], 56);
    EXPECT_EQ(p[8], 0xC5);  // HostControl 3 over AnalogUse 5
    EXPECT_EQ(p[34], 0x60); // TemperLevelLo 1 = -160
    EXPECT_EQ(p[35], 0xFF);
    EXPECT_EQ(p[58], 0x81);
    EXPECT_EQ(p[59], 0xAA);
    EXPECT_EQ(p[60], 0x13);
    EXPECT_EQ(p[61], 0x20);
    EXPECT_EQ(p[62], 0);
}

TEST(LoopCodec, AnalogUseIsOredInUnmasked)
{
    UprLoopConfig l;
    l.analogUse = 0x45;
    l.hostControl = 0;
    EXPECT_EQ(proto::writeLoop(1, l)[8], 0x45);
}

TEST(LoopCodec, ReceivedRecordSplitsUseByteAndExpandsModes)
{
    Payload r = proto::writeLoop(3, sampleLoop());
    r[pos::Code] = 6;
    UprLoopConfig l;
    l.fill5 = 0x77;
    proto::decodeLoop(r, l);
    const UprLoopConfig want = sampleLoop();
    EXPECT_EQ(l.analogUse, 5);
    EXPECT_EQ(l.hostControl, 3);
    EXPECT_EQ(l.fill5, 0x77);
    UprLoopConfig expected = want;
    expected.fill5 = 0x77;
    EXPECT_EQ(l.encode(), expected.encode());
}

TEST(LoopCodec, ExtendedRecordPositions)
{
    UprLoopConfigExt e;
    e.timerOff = 0x1234;
    e.timerOn = 0xABCD;
    e.pulseNumber = 9;
    e.logic = 1;
    e.usbMode = 0x0C;
    e.dimmer = 200;
    e.outputMask = 0x03FFFFFF;
    const Payload p = proto::writeLoopExt(26, e);
    EXPECT_EQ(p[pos::Arg1], 1);
    EXPECT_EQ(p[pos::Len], 12);
    const std::vector<int> data(p.begin() + 6, p.begin() + 18);
    EXPECT_EQ(data,
              (std::vector<int>{0x34, 0x12, 0xCD, 0xAB, 9, 1, 0x0C, 200, 0xFF, 0xFF, 0xFF, 0x03}));
    UprLoopConfigExt back;
    proto::decodeLoopExt(p, back);
    EXPECT_EQ(back.encode(), e.encode());
}

TEST(StoredLoop, LayoutPutsModesBeforeLevels)
{
    const auto block = loopcodec::encodeStoredLoop(sampleLoop());
    EXPECT_EQ(block[2], 0xC5);
    EXPECT_EQ(block[4], 0x81);
    EXPECT_EQ(block[7], 0x20);
    EXPECT_EQ(block[8], 0xFF); // AnalogLevelLo 1 = -1
    EXPECT_EQ(block[32], 0x60);
    EXPECT_EQ(block[33], 0xFF);
    EXPECT_EQ(block[44], 0x00); // TemperLevelHi 1 = -32768
    EXPECT_EQ(block[45], 0x80);
    const UprLoopConfig back = loopcodec::decodeStoredLoop(block);
    EXPECT_TRUE(loopcodec::storedLoopEquals(back, sampleLoop()));
    EXPECT_EQ(back.encode(), sampleLoop().encode());
}

TEST(StoredLoop, HostControlAloneMakesADifference)
{
    UprLoopConfig stored = sampleLoop();
    stored.hostControl = 1;
    EXPECT_FALSE(loopcodec::storedLoopEquals(stored, sampleLoop()));
}

TEST(StoredLoop, EveryComparedFieldCounts)
{
    const UprLoopConfig base = sampleLoop();
    const std::vector<void (*)(UprLoopConfig &)> changes = {
        [](UprLoopConfig &l) { l.contactUse ^= 1; },
        [](UprLoopConfig &l) { l.temperUse ^= 1; },
        [](UprLoopConfig &l) { l.analogLevelHi[5] += 1; },
        [](UprLoopConfig &l) { l.temperLevelLo[0] += 1; },
        [](UprLoopConfig &l) { l.ttlInputMode[7] ^= 1; },
        [](UprLoopConfig &l) { l.temperMode[5] ^= 1; },
    };
    for (std::size_t i = 0; i < changes.size(); ++i) {
        UprLoopConfig changed = base;
        changes[i](changed);
        EXPECT_FALSE(loopcodec::storedLoopEquals(changed, base)) << "change " << i;
    }
    UprLoopConfig fillOnly = base;
    fillOnly.fill5 = 9; // not stored by the controller
    EXPECT_TRUE(loopcodec::storedLoopEquals(fillOnly, base));
}

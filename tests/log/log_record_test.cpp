#include "link/bytes.h"
#include "log/log_record.h"
#include "log/record_store.h"

#include <gtest/gtest.h>

#include <numeric>

using namespace vardex;
using namespace vardex::log;

namespace {

// A payload with every field distinct, so a swapped or shifted field shows.
std::array<std::uint8_t, kPayloadSize> craftedPayload()
{
    std::array<std::uint8_t, kPayloadSize> p{};
    bytes::putU32(p, 0, 0x01020304);
    const std::uint8_t stamp[] = {7, 12, 11, 23, 59, 58};
    std::copy(std::begin(stamp), std::end(stamp), p.begin() + 4);
    p[10] = 0xA5;
    p[11] = 0x5A;
    for (int i = 0; i < 5; ++i)
        bytes::putF32(p, 12 + 4 * i, 1.5f + i);
    bytes::putF32(p, 32, 231.25f);
    for (int i = 0; i < 6; ++i)
        bytes::putI16(p, 36 + 2 * i, static_cast<std::int16_t>(-20 + 100 * i));
    for (int i = 0; i < 4; ++i)
        bytes::putU16(p, 48 + 2 * i, static_cast<std::uint16_t>(1000 + 0x101 * i));
    for (int i = 56; i < 66; ++i)
        p[i] = static_cast<std::uint8_t>(0x10 + i);
    for (int i = 0; i < 8; ++i)
        p[66 + i] = static_cast<std::uint8_t>(0xF0 + i);
    return p;
}

} // namespace

TEST(LogRecordCodec, PayloadFieldsLandAtTheirOffsetsWithFlagBytesWidened)
{
    const auto payload = craftedPayload();
    const LogRecord r = LogRecord::fromPayload(payload);
    EXPECT_EQ(r.number, 0x01020304u);
    EXPECT_EQ(r.day, 7);
    EXPECT_EQ(r.month, 12);
    EXPECT_EQ(r.year, 11);
    EXPECT_EQ(r.second, 58);
    EXPECT_EQ(r.contacts, 0xA5);
    EXPECT_EQ(r.ttlInputs, 0x5A);
    EXPECT_FLOAT_EQ(r.analog[4], 5.5f);
    EXPECT_FLOAT_EQ(r.mains, 231.25f);
    EXPECT_EQ(r.temperatures[0], -20);
    EXPECT_EQ(r.fanSpeeds[3], 1000 + 0x303);
    EXPECT_EQ(r.ttlOutputState, 0x10 + 56);
    EXPECT_EQ(r.relayControl, 0x10 + 61);
    EXPECT_EQ(r.fanTasks[3], 0x10 + 65);

    const LogRecord::Bytes image = r.encode();
    // Offsets 0..65 are the payload's bytes unchanged.
    EXPECT_TRUE(std::equal(payload.begin(), payload.begin() + 66, image.begin()));
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(image[66 + 2 * i], 0xF0 + i);
        EXPECT_EQ(image[67 + 2 * i], 0) << "flag word " << i + 1 << " high byte";
    }
    EXPECT_EQ(image[82], 0);
    EXPECT_EQ(image[83], 0);
}

TEST(LogRecordCodec, ImageRoundTripKeepsEveryByteIncludingReservedAndFlagHighBytes)
{
    LogRecord::Bytes image{};
    std::iota(image.begin(), image.end(), std::uint8_t{1});
    const LogRecord r = LogRecord::decode(image);
    EXPECT_EQ(r.encode(), image);
}

TEST(LogRecordCodec, FlagNumbersCountGroupByGroup)
{
    LogRecord r;
    r.flagGroups[4] = 0x01; // group 5 bit 0
    EXPECT_TRUE(r.flag(33));
    EXPECT_FALSE(r.flag(32));
    EXPECT_FALSE(r.flag(34));
    EXPECT_FALSE(r.flag(0));
    EXPECT_FALSE(r.flag(65));
}

TEST(LogRecordCount, RingPositionsGiveTheCountOrNothing)
{
    EXPECT_EQ(logRecordCount(10, 4), 24);
    EXPECT_EQ(logRecordCount(4, 10), 16384);
    EXPECT_EQ(logRecordCount(4095, 0), 16380);
    EXPECT_EQ(logRecordCount(4100, 4), 0);
    EXPECT_EQ(logRecordCount(4, 4096), 0);
    EXPECT_EQ(logRecordCount(7, 7), 0);
}

TEST(RecordStoreFile, SaveImageIsTheCountedRecordsByteForByte)
{
    RecordStore store;
    EXPECT_TRUE(store.fileBytes().isEmpty());
    LogRecord r;
    r.number = 77;
    store.setRecord(2, r);
    store.setLoaded(2);
    const QByteArray file = store.fileBytes();
    ASSERT_EQ(file.size(), 168);
    EXPECT_EQ(static_cast<std::uint8_t>(file[84]), 77);

    RecordStore other;
    EXPECT_EQ(other.loadFileBytes(file), 2);
    EXPECT_EQ(other.fileBytes(), file);
}

TEST(RecordStoreFile, TrailingPartIsStoredButNotCounted)
{
    RecordStore store;
    QByteArray bytes(170, '\x11');
    EXPECT_EQ(store.loadFileBytes(bytes), 2);
    EXPECT_EQ(store.count(), 2);
    EXPECT_EQ(store.slotBytes(3)[1], 0x11);
    EXPECT_EQ(store.slotBytes(3)[2], 0);
}

TEST(RecordStoreFile, LessThanOneRecordChangesNothing)
{
    RecordStore store;
    LogRecord r;
    r.number = 5;
    store.setRecord(1, r);
    store.setLoaded(1);
    EXPECT_EQ(store.loadFileBytes(QByteArray(83, '\x22')), 0);
    EXPECT_EQ(store.count(), 1);
    EXPECT_EQ(store.record(1).number, 5u);
}

TEST(RecordStoreFile, OversizedImageFillsTheStoreAndNoMore)
{
    RecordStore store;
    QByteArray bytes(static_cast<qsizetype>(RecordStore::kBytes + 3 * kRecordSize), '\x33');
    EXPECT_EQ(store.loadFileBytes(bytes), RecordStore::kSlots);
    EXPECT_EQ(store.fileBytes().size(), static_cast<qsizetype>(RecordStore::kBytes));
}

TEST(RecordStoreSlots, OutOfRangeSlotsNeitherReadNorWrite)
{
    RecordStore store;
    LogRecord r;
    r.number = 9;
    store.setRecord(0, r);
    store.setRecord(RecordStore::kSlots + 1, r);
    EXPECT_EQ(store.record(1).number, 0u);
    EXPECT_EQ(store.record(RecordStore::kSlots).number, 0u);
    EXPECT_EQ(store.record(0).number, 0u);
}

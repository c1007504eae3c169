#include "log/log_record.h"

#include "link/bytes.h"

namespace vardex::log {

using namespace vardex::bytes;

namespace {

// The fields both images share, offsets 0..65.
template <typename Span> void decodeCommon(Span b, LogRecord &r)
{
    r.number = u32(b, 0);
    r.day = u8(b, 4);
    r.month = u8(b, 5);
    r.year = u8(b, 6);
    r.hour = u8(b, 7);
    r.minute = u8(b, 8);
    r.second = u8(b, 9);
    r.contacts = u8(b, 10);
    r.ttlInputs = u8(b, 11);
    for (int i = 0; i < kAnalogs; ++i)
        r.analog[i] = f32(b, 12 + 4 * i);
    r.mains = f32(b, 32);
    for (int i = 0; i < kSensors; ++i)
        r.temperatures[i] = i16(b, 36 + 2 * i);
    for (int i = 0; i < kFans; ++i)
        r.fanSpeeds[i] = u16(b, 48 + 2 * i);
    r.ttlOutputState = u8(b, 56);
    r.switchState = u8(b, 57);
    r.relayState = u8(b, 58);
    r.ttlOutputControl = u8(b, 59);
    r.switchControl = u8(b, 60);
    r.relayControl = u8(b, 61);
    for (int i = 0; i < kFans; ++i)
        r.fanTasks[i] = u8(b, 62 + i);
}

} // namespace

LogRecord::Bytes LogRecord::encode() const
{
    Bytes b{};
    putU32(b, 0, number);
    putU8(b, 4, day);
    putU8(b, 5, month);
    putU8(b, 6, year);
    putU8(b, 7, hour);
    putU8(b, 8, minute);
    putU8(b, 9, second);
    putU8(b, 10, contacts);
    putU8(b, 11, ttlInputs);
    for (int i = 0; i < kAnalogs; ++i)
        putF32(b, 12 + 4 * i, analog[i]);
    putF32(b, 32, mains);
    for (int i = 0; i < kSensors; ++i)
        putI16(b, 36 + 2 * i, temperatures[i]);
    for (int i = 0; i < kFans; ++i)
        putU16(b, 48 + 2 * i, fanSpeeds[i]);
    putU8(b, 56, ttlOutputState);
    putU8(b, 57, switchState);
    putU8(b, 58, relayState);
    putU8(b, 59, ttlOutputControl);
    putU8(b, 60, switchControl);
    putU8(b, 61, relayControl);
    for (int i = 0; i < kFans; ++i)
        putU8(b, 62 + i, fanTasks[i]);
    for (int i = 0; i < kFlagGroups; ++i)
        putU16(b, 66 + 2 * i, flagGroups[i]);
    putU16(b, 82, reserved);
    return b;
}

LogRecord LogRecord::decode(std::span<const std::uint8_t, kRecordSize> bytes)
{
    const Bytes::const_pointer data = bytes.data();
    const vardex::bytes::Bytes b(data, kRecordSize);
    LogRecord r;
    decodeCommon(b, r);
    for (int i = 0; i < kFlagGroups; ++i)
        r.flagGroups[i] = u16(b, 66 + 2 * i);
    r.reserved = u16(b, 82);
    return r;
}

LogRecord LogRecord::fromPayload(std::span<const std::uint8_t, kPayloadSize> payload)
{
    const vardex::bytes::Bytes b(payload.data(), kPayloadSize);
    LogRecord r;
    decodeCommon(b, r);
    for (int i = 0; i < kFlagGroups; ++i)
        r.flagGroups[i] = u8(b, 66 + i);
    return r;
}

bool LogRecord::flag(int k) const
{
    if (k < 1 || k > 8 * kFlagGroups)
        return false;
    return (flagGroups[(k - 1) / 8] >> ((k - 1) % 8)) & 1;
}

QDateTime LogRecord::timestamp() const
{
    const QDate date(2000 + year, month, day);
    const QTime time(hour, minute, second);
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time);
}

static_assert(sizeof(LogRecord::Bytes) == kRecordSize);

} // namespace vardex::log

#include "log/record_store.h"

#include <algorithm>

namespace vardex::log {

RecordStore::RecordStore() : m_bytes(kBytes, 0) {}

LogRecord RecordStore::record(int slot) const
{
    if (slot < 1 || slot > kSlots)
        return {};
    return LogRecord::decode(slotBytes(slot));
}

void RecordStore::setRecord(int slot, const LogRecord &record)
{
    if (slot < 1 || slot > kSlots)
        return;
    const LogRecord::Bytes b = record.encode();
    std::copy(b.begin(), b.end(), m_bytes.begin() + (slot - 1) * kRecordSize);
}

std::span<const std::uint8_t, kRecordSize> RecordStore::slotBytes(int slot) const
{
    slot = std::clamp(slot, 1, kSlots);
    return std::span<const std::uint8_t, kRecordSize>(m_bytes.data() + (slot - 1) * kRecordSize,
                                                      kRecordSize);
}

void RecordStore::setLoaded(int count)
{
    m_count = std::clamp(count, 0, kSlots);
    m_loaded = m_count > 0;
}

void RecordStore::clearLoaded()
{
    m_loaded = false;
    m_count = 0;
    m_missing.clear();
}

QByteArray RecordStore::fileBytes() const
{
    return QByteArray(reinterpret_cast<const char *>(m_bytes.data()),
                      static_cast<qsizetype>(count() * kRecordSize));
}

int RecordStore::loadFileBytes(const QByteArray &bytes)
{
    const auto size = std::min<std::size_t>(static_cast<std::size_t>(bytes.size()), kBytes);
    const int records = static_cast<int>(size / kRecordSize);
    if (records == 0)
        return 0;
    std::copy_n(reinterpret_cast<const std::uint8_t *>(bytes.constData()), size, m_bytes.begin());
    m_missing.clear();
    setLoaded(records);
    return records;
}

int logRecordCount(std::uint16_t a, std::uint16_t b)
{
    if (a > 4095 || b > 4095 || a == b)
        return 0;
    if (a < b)
        return RecordStore::kSlots;
    return std::min(4 * (a - b), RecordStore::kSlots);
}

} // namespace vardex::log

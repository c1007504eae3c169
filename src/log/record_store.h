#pragma once

#include "log/log_record.h"

#include <QByteArray>

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

// The store of a read or loaded log: 16384 slots of 84-byte records (1,376,256
// bytes), numbered 1..16384, kept as raw bytes so that a loaded file saves back
// byte for byte. The log page owns one; graphs and exports read it.
namespace vardex::log {

class RecordStore {
public:
    static constexpr int kSlots = 16384;
    static constexpr std::size_t kBytes = kSlots * kRecordSize;

    RecordStore(); // every slot zero, nothing loaded

    // Slots 1..kSlots. Out-of-range slots read as a zero record and ignore writes.
    LogRecord record(int slot) const;
    void setRecord(int slot, const LogRecord &record);
    std::span<const std::uint8_t, kRecordSize> slotBytes(int slot) const;

    // Records of the read or loaded log (slots 1..count). Zero while nothing is loaded.
    int count() const { return m_loaded ? m_count : 0; }
    bool isLoaded() const { return m_loaded; }
    // Marks slots 1..count as the log (count clamped to 0..kSlots; 0 leaves it unloaded).
    void setLoaded(int count);
    void clearLoaded();

    // Slots a read could not fill: they repeat the record before them.
    const std::vector<int> &missingSlots() const { return m_missing; }
    void setMissingSlots(std::vector<int> missing) { m_missing = std::move(missing); }

    // The *.log file image: the first count() records, byte for byte.
    QByteArray fileBytes() const;
    // Puts a file image into the store from slot 1 on; a trailing part of less than
    // one record lands in the next slot but is not counted. At most kBytes are
    // taken. Returns the number of whole records; with none, nothing is changed.
    int loadFileBytes(const QByteArray &bytes);

private:
    std::vector<std::uint8_t> m_bytes;
    int m_count = 0;
    bool m_loaded = false;
    std::vector<int> m_missing;
};

// Records the controller's two ring positions (blocks of four records) stand for:
// none when either is above 4095 or they are equal; the whole ring when A < B;
// else 4 x (A - B), at most 16384.
int logRecordCount(std::uint16_t a, std::uint16_t b);

} // namespace vardex::log

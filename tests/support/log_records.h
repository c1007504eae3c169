#pragma once

#include "log/log_record.h"
#include "log/record_store.h"

#include <memory>
#include <vector>

// Crafted event-log records and stores for the graph and export tests.
namespace vardex::test {

inline log::LogRecord logRecordAt(int year, int month, int day, int hour = 12, int minute = 0,
                                  int second = 0)
{
    log::LogRecord r;
    r.year = std::uint8_t(year);
    r.month = std::uint8_t(month);
    r.day = std::uint8_t(day);
    r.hour = std::uint8_t(hour);
    r.minute = std::uint8_t(minute);
    r.second = std::uint8_t(second);
    return r;
}

// Slots 1..records.size() hold the records, counted as a loaded log.
inline std::unique_ptr<log::RecordStore> storeOf(const std::vector<log::LogRecord> &records)
{
    auto store = std::make_unique<log::RecordStore>();
    for (std::size_t i = 0; i < records.size(); ++i)
        store->setRecord(int(i) + 1, records[i]);
    store->setLoaded(int(records.size()));
    return store;
}

} // namespace vardex::test

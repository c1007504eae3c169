#pragma once

#include "log/record_store.h"

#include <memory>
#include <vector>

namespace vardex::test {

// A store of `count` crafted records (slot n numbered n, stamped 2011-12-n, the
// other fields derived from n) marked loaded.
inline log::RecordStore craftedLogStore(int count)
{
    log::RecordStore store;
    for (int n = 1; n <= count; ++n) {
        log::LogRecord r;
        r.number = static_cast<std::uint32_t>(n);
        r.day = static_cast<std::uint8_t>(1 + (n - 1) % 28);
        r.month = 12;
        r.year = 11;
        r.hour = static_cast<std::uint8_t>(n % 24);
        r.minute = 30;
        r.second = 15;
        r.contacts = static_cast<std::uint8_t>(n);
        r.ttlInputs = 0x80;
        for (int i = 0; i < log::kAnalogs; ++i)
            r.analog[i] = 12.1f + static_cast<float>(i);
        r.mains = 221.7f;
        for (int k = 0; k < log::kSensors; ++k)
            r.temperatures[k] = 100;
        for (int f = 0; f < log::kFans; ++f) {
            r.fanSpeeds[f] = static_cast<std::uint16_t>(1000 + f);
            r.fanTasks[f] = static_cast<std::uint8_t>(10 * f);
        }
        r.ttlOutputState = 0x03;
        r.switchState = 0x11;
        r.relayState = 0x21;
        for (int g = 0; g < log::kFlagGroups; ++g)
            r.flagGroups[g] = static_cast<std::uint16_t>(g + 1);
        store.setRecord(n, r);
    }
    store.setLoaded(count);
    return store;
}

// Records with a given date and time and nothing else, for the graph filter.
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

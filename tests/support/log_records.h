#pragma once

#include "log/record_store.h"

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

} // namespace vardex::test

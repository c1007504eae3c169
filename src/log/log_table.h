#pragma once

#include "export/table.h"
#include "log/record_store.h"

#include <array>
#include <cstdint>

namespace vardex::log {

// The log export: 40 columns ("Number" .. "Flags_8"), one row per record of the
// store in slot order. Integers stay integers, analog and mains values are reals,
// temperatures are raw counts times the sensor's resolution factor (an empty cell
// for a resolution code outside 0..3), the year is as stored (11 for 2011).
exporting::Table buildLogTable(const RecordStore &store,
                               const std::array<std::uint8_t, 6> &resolution);

} // namespace vardex::log

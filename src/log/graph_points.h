#pragma once

#include "chart/series.h"
#include "log/graph_selection.h"
#include "log/log_record.h"
#include "log/sensor_resolutions.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

// Which points each graph receives from the record store. Pure, so that the filter and
// the scaling are tested without a window.
namespace vardex::log {

// A temperature is drawn at its channel's factor, as the log view shows it.

// The record's date and time as wall-clock seconds; nothing when the bytes form no date
// (31 February, month 13, hour 24).
std::optional<double> recordTime(const LogRecord &record);

// The value a record gives for a parameter; nothing when the parameter names no quantity
// or the channel's resolution code has no factor.
std::optional<double> parameterValue(const LogRecord &record, int parameter,
                                     const TemperatureResolutions &resolutions);

// Year bytes a graph accepts: any two-digit year, so that records after 2020 are drawn.
inline constexpr int kMinGraphYear = 0;
inline constexpr int kMaxGraphYear = 99;

struct GraphPoints {
    // Index n-1 holds graph n; graphs not enabled, or without a parameter, stay empty.
    std::array<std::vector<chart::Point>, kGraphs> series;
    int recordsDrawn = 0;
};

// Walks slots 1..count: a record is drawn when its year byte equals the selection's year,
// its slot lies in first..last and its date and time are valid.
GraphPoints buildGraphPoints(const GraphSelection &selection, int count,
                             const std::function<LogRecord(int slot)> &recordAt,
                             const TemperatureResolutions &resolutions);

// The year of the newest valid record in slots 1..count whose year a graph accepts, by
// date and time; nothing for an empty store or one without such a record.
std::optional<int> newestRecordYear(int count, const std::function<LogRecord(int slot)> &recordAt);

} // namespace vardex::log

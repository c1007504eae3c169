#pragma once

#include "files/file_io.h"
#include "log/log_record.h"

#include <QString>

#include <array>
#include <cstdint>
#include <optional>

// A log holds raw temperature counts; what a count is worth in degrees is the sensor's
// resolution code (0..3) in the monitor configuration, which the log itself does not
// carry. Values shown, drawn or exported before the codes are known would be up to 8x
// off, so the codes travel with a flag saying whether anyone told us them.
namespace vardex::log {

// Resolution codes (0..3) of the six temperature channels.
using TemperatureResolutions = std::array<std::uint8_t, kSensors>;

struct SensorResolutions {
    TemperatureResolutions codes{};
    // From a description read, a configuration loaded or read, or a log's companion file.
    // False: the codes are whatever the image held (zero at start), a guess.
    bool known = false;
};

// What the page, the graphs and the export say while the codes are a guess.
QString unknownResolutionText();

// The companion file beside a *.log: same folder and base name, suffix ".sensors". A
// small text file, so the *.log itself keeps its layout of bare records:
//   vardex sensors 1
//   resolution 3 3 3 0 1 2
QString companionPath(const QString &logPath);
QByteArray encodeCompanion(const TemperatureResolutions &codes);
// Nothing unless the text is such a file with six codes of 0..3 (untrusted input).
std::optional<TemperatureResolutions> decodeCompanion(const QByteArray &bytes);

// Writes the companion of logPath; with no codes, removes a companion left from an older
// log of that name, which would otherwise describe sensors this log never had.
files::FileResult saveCompanion(const QString &logPath,
                                const std::optional<TemperatureResolutions> &codes);
// The codes of logPath's companion; nothing when there is none or it is not one of ours.
std::optional<TemperatureResolutions> loadCompanion(const QString &logPath);

} // namespace vardex::log

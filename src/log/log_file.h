#pragma once

#include "files/file_io.h"
#include "log/record_store.h"
#include "log/sensor_resolutions.h"

#include <QString>

#include <optional>

// The *.log file: the store's first count() records, 84 bytes each, back to back,
// slot 1 first; no header, count or checksum. The sensors' resolution codes, which the
// records need to be read in degrees, go into a companion file beside it.
namespace vardex::log {

struct LogSaveResult {
    files::FileResult file;      // the *.log; atomic: a failed save leaves an old file
    files::FileResult companion; // written, or a stale one removed, only when file.ok
    bool ok() const { return file.ok && companion.ok; }
    QString message() const { return file.ok ? companion.message() : file.message(); }
};

// With codes the companion is written; without, one left from an older log is removed.
LogSaveResult saveLogFile(const QString &path, const RecordStore &store,
                          const std::optional<TemperatureResolutions> &codes = std::nullopt);

struct LogLoadResult {
    files::FileResult file; // !file.ok: the file could not be read; nothing changed
    int records = 0;        // whole records now in the store; 0: refused or failed
    // Records whose date and time are no date (month 100, 31 February): a file that
    // is no log at all loads as records full of them.
    int badDates = 0;
    // From the companion file, when there is a valid one.
    std::optional<TemperatureResolutions> resolutions;
    // For the engineer when the load was refused (shorter than one record), cut
    // (longer than the store) or holds records with impossible dates; empty otherwise.
    QString notice;

    bool loaded() const { return records > 0; }
};

// Never reads past the store: a longer file gives its first 16384 records.
LogLoadResult loadLogFile(const QString &path, RecordStore &store);

// Records of slots 1..count whose date and time form no valid date.
int countBadDates(const RecordStore &store, int count);
// "N из M записей с неверной датой" and what it suggests.
QString badDatesText(const QString &path, int bad, int records);

} // namespace vardex::log

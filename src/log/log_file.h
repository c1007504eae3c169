#pragma once

#include "files/file_io.h"
#include "log/record_store.h"

#include <QString>

// The *.log file: the store's first count() records, 84 bytes each, back to back,
// slot 1 first; no header, count or checksum.
namespace vardex::log {

// Atomic: a failed save leaves an existing file as it was.
files::FileResult saveLogFile(const QString &path, const RecordStore &store);

struct LogLoadResult {
    files::FileResult file; // !file.ok: the file could not be read; nothing changed
    int records = 0;        // whole records now in the store; 0: refused or failed
    // For the engineer when the load was refused (shorter than one record) or cut
    // (longer than the store); empty otherwise.
    QString notice;

    bool loaded() const { return records > 0; }
};

// Never reads past the store: a longer file gives its first 16384 records.
LogLoadResult loadLogFile(const QString &path, RecordStore &store);

} // namespace vardex::log

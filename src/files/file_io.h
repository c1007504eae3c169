#pragma once

#include <QByteArray>
#include <QString>

// Whole-file reads and writes for every file the program opens or saves (*.cfg,
// *.upr, *.log, *.fgd, exports). Files are untrusted: reads are bounded; saves are
// atomic, so a failed save leaves the old file as it was.
namespace vardex::files {

struct FileResult {
    bool ok = false;
    QString path;   // the file as the user chose it
    QString reason; // the system's words when !ok

    // "<file>: <reason>", for a message box.
    QString message() const;
};

struct ReadResult : FileResult {
    QByteArray bytes;    // at most the bound asked for
    qint64 fileSize = 0; // the file's whole size on disk
    bool truncated() const { return fileSize > bytes.size(); }
};

// Writes bytes to a temporary file beside path and renames it over path.
FileResult saveAtomically(const QString &path, const QByteArray &bytes);
// Reads at most maxBytes from the start of path.
ReadResult readBounded(const QString &path, qint64 maxBytes);

} // namespace vardex::files

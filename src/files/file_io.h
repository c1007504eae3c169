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

// path itself when nothing is there yet, else the first "name (2).ext", "name (3).ext", ...
// that is free: an export never replaces a file the engineer already has.
QString freeFileName(const QString &path);

// Takes path, or the first free "name (2).ext", "name (3).ext", ..., by creating it empty
// with exclusive creation: from then on the name is the caller's, even against another
// export (of this program or another) choosing in the same moment. ok with path the
// name taken; otherwise the system's reason (a folder that cannot be written).
FileResult reserveFreeName(const QString &path);

// Writes bytes to a temporary file beside path and renames it over path.
FileResult saveAtomically(const QString &path, const QByteArray &bytes);
// Reads at most maxBytes from the start of path. Only a regular file is read: a folder,
// a FIFO, a device or a socket is refused without waiting on it.
ReadResult readBounded(const QString &path, qint64 maxBytes);

// The question asked before a file of a size its format does not have is laid over
// the image: names the file, its size and the size(s) expected.
QString unexpectedSizeQuestion(const QString &path, qint64 size, const QString &expected);

} // namespace vardex::files

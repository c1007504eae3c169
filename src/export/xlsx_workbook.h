#pragma once

#include "export/table.h"

#include <QDateTime>
#include <QString>

class QIODevice;

// A table as an Office Open XML workbook of one sheet, streamed onto a device: the
// sheet's XML goes through deflate in chunks, so memory does not grow with the table's
// XML. Where the file goes and how it replaces an old one is the caller's business.
namespace vardex::exporting {

// Deflate level chosen by measurement on the full log export: level 1 writes the
// 16384 x 40 log several times faster than zlib's default for a somewhat larger file.
constexpr int kXlsxDeflateLevel = 1;

// Returns an empty string on success, else why the workbook could not be written
// (the device's words, or a limit of the format the table exceeds).
QString writeWorkbook(QIODevice &out, const Table &table, const QDateTime &created,
                      int level = kXlsxDeflateLevel);

} // namespace vardex::exporting

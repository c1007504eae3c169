#pragma once

#include "export/table.h"
#include "files/file_io.h"

#include <QDateTime>
#include <QString>

// An Office Open XML workbook written to a file.
namespace vardex::exporting {

// One sheet named after the table: the header row in bold, columns wide enough for
// their headers, integers and reals as numbers (a real that is not finite as an
// empty cell), texts as texts. Rows are streamed (constant memory) and the file is
// written beside path and renamed over it, so a failed export leaves no half file.
files::FileResult writeXlsxFile(const QString &path, const Table &table,
                                const QDateTime &created = QDateTime::currentDateTime());

} // namespace vardex::exporting

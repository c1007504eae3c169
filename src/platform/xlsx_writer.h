#pragma once

#include "export/table.h"
#include "files/file_io.h"

#include <QString>

// Office Open XML workbooks for the spreadsheet exports.
namespace vardex::platform {

// One sheet named after the table: the header row in bold, columns wide enough for
// their headers, integers and reals as numbers (a real that is not finite as an
// empty cell), texts as texts. Rows are streamed (constant memory) and the file is
// written beside path and renamed over it, so a failed export leaves no half file.
files::FileResult writeXlsx(const QString &path, const exporting::Table &table);

} // namespace vardex::platform

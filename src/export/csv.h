#pragma once

#include "export/table.h"

#include <QByteArray>

namespace vardex::exporting {

// UTF-8 CSV for scripts: comma-separated, CRLF line ends, the header row first.
// Texts containing a comma, quote or line break are quoted with quotes doubled;
// reals use a dot and the shortest text that reads back as the same double;
// empty cells are empty fields.
QByteArray toCsv(const Table &table);

} // namespace vardex::exporting

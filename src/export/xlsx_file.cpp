#include "export/xlsx_file.h"

#include "export/xlsx_workbook.h"

#include <QSaveFile>

namespace vardex::exporting {

files::FileResult writeXlsxFile(const QString &path, const Table &table, const QDateTime &created)
{
    files::FileResult result;
    result.path = path;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        result.reason = file.errorString();
        return result;
    }
    const QString failed = writeWorkbook(file, table, created);
    if (!failed.isEmpty()) {
        result.reason = failed;
        file.cancelWriting();
        return result;
    }
    if (!file.commit()) {
        result.reason = file.errorString();
        return result;
    }
    result.ok = true;
    return result;
}

} // namespace vardex::exporting

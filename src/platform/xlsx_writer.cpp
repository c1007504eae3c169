#include "platform/xlsx_writer.h"

#include "export/xlsx_workbook.h"

#include <QDateTime>
#include <QSaveFile>

namespace vardex::platform {

files::FileResult writeXlsx(const QString &path, const exporting::Table &table)
{
    files::FileResult result;
    result.path = path;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        result.reason = file.errorString();
        return result;
    }
    const QString failed = exporting::writeWorkbook(file, table, QDateTime::currentDateTime());
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

} // namespace vardex::platform

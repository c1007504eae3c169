#include "log/log_file.h"

#include <QCoreApplication>

namespace vardex::log {

files::FileResult saveLogFile(const QString &path, const RecordStore &store)
{
    return files::saveAtomically(path, store.fileBytes());
}

LogLoadResult loadLogFile(const QString &path, RecordStore &store)
{
    LogLoadResult out;
    const files::ReadResult read =
        files::readBounded(path, static_cast<qint64>(RecordStore::kBytes));
    out.file = read;
    if (!read.ok)
        return out;
    out.records = store.loadFileBytes(read.bytes);
    if (out.records == 0) {
        out.notice = QCoreApplication::translate(
                         "log", "Файл %1 короче одной записи лога (%2 байт): лог не загружен.")
                         .arg(path)
                         .arg(kRecordSize);
    } else if (read.truncated()) {
        out.notice =
            QCoreApplication::translate("log", "Файл %1 длиннее %2 записей: загружены первые %2.")
                .arg(path)
                .arg(RecordStore::kSlots);
    }
    return out;
}

} // namespace vardex::log

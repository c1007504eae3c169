#include "log/log_file.h"

#include <QCoreApplication>
#include <QDir>

namespace vardex::log {

LogSaveResult saveLogFile(const QString &path, const RecordStore &store,
                          const std::optional<TemperatureResolutions> &codes)
{
    LogSaveResult out;
    out.file = files::saveAtomically(path, store.fileBytes());
    if (out.file.ok)
        out.companion = saveCompanion(path, codes);
    return out;
}

int countBadDates(const RecordStore &store, int count)
{
    int bad = 0;
    for (int slot = 1; slot <= count; ++slot) {
        if (!store.record(slot).timestamp().isValid())
            ++bad;
    }
    return bad;
}

QString badDatesText(const QString &path, int bad, int records)
{
    QString text = QCoreApplication::translate("log", "%1 из %2 записей с неверной датой")
                       .arg(bad)
                       .arg(records);
    if (bad == records)
        text += QCoreApplication::translate("log", ": файл %1, похоже, не является файлом лога.")
                    .arg(QDir::toNativeSeparators(path));
    else
        text += QCoreApplication::translate("log", " (файл %1): графики их пропускают.")
                    .arg(QDir::toNativeSeparators(path));
    return text;
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
        return out;
    }
    out.resolutions = loadCompanion(path);
    out.badDates = countBadDates(store, out.records);
    QStringList notices;
    if (read.truncated()) {
        notices << QCoreApplication::translate("log",
                                               "Файл %1 длиннее %2 записей: загружены первые %2.")
                       .arg(path)
                       .arg(RecordStore::kSlots);
    }
    if (out.badDates > 0)
        notices << badDatesText(path, out.badDates, out.records);
    out.notice = notices.join(QLatin1Char('\n'));
    return out;
}

} // namespace vardex::log

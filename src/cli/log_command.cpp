#include "cli/commands.h"
#include "export/csv.h"
#include "files/file_io.h"
#include "link/data_module.h"
#include "log/log_file.h"
#include "log/log_table.h"
#include "log/log_transfer.h"
#include "log/record_store.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QTemporaryFile>

#include <memory>

namespace vardex::cli {

namespace {

files::FileResult writeLog(CommandRun &r, const log::RecordStore &store)
{
    const QString &path = r.invocation.file;
    const QString suffix = path.section(QLatin1Char('.'), -1).toLower();
    if (suffix == QLatin1String("log")) {
        // The configuration was read first: its sensor resolutions go beside the log.
        const log::LogSaveResult saved =
            log::saveLogFile(path, store, r.dm.image().config.dallasResolution);
        return saved.file.ok ? saved.companion : saved.file;
    }
    const exporting::Table table = log::buildLogTable(store, r.dm.image().config.dallasResolution);
    if (suffix == QLatin1String("csv"))
        return files::saveAtomically(path, exporting::toCsv(table));
    if (r.writeXlsx)
        return r.writeXlsx(path, table);
    return {false, path, QStringLiteral("запись .xlsx в этой сборке недоступна")};
}

} // namespace

int logRead(CommandRun &r)
{
    // A full read takes minutes: a file that cannot be written is found out before it.
    {
        const QFileInfo target(r.invocation.file);
        // The target itself: a folder of that name, or a file that cannot be written,
        // would fail the save only after the whole read.
        if (target.exists() && (target.isDir() || !target.isWritable())) {
            r.error = QStringLiteral("не удалось записать %1: %2")
                          .arg(r.invocation.file, target.isDir()
                                                      ? QStringLiteral("это папка")
                                                      : QStringLiteral("файл только для чтения"));
            return kExitUsage;
        }
        QTemporaryFile probe(target.absoluteDir().filePath(QStringLiteral(".vardex-XXXXXX")));
        if (!probe.open()) {
            r.error = QStringLiteral("не удалось записать %1: %2")
                          .arg(r.invocation.file, probe.errorString());
            return kExitUsage;
        }
    }
    // The temperature resolution of the spreadsheet columns comes with the configuration.
    if (!readConfiguration(r))
        return controllerFailure(r, QStringLiteral("конфигурация не прочитана"));
    auto store = std::make_unique<log::RecordStore>(); // 16384 × 84 bytes: not on the stack
    const log::FullReadResult read = log::readFullLog(r.ctx, *store, log::LogRecord{});
    const link::OpStatus status = read.result.status;
    if (status == link::OpStatus::NoReply || status == link::OpStatus::ErrorReply) {
        r.watch.finish();
        r.error = r.watch.refused().isEmpty()
                      ? QStringLiteral("контроллер не ответил на MemoryRead 6912 (положение "
                                       "журнала)")
                      : r.watch.failureText();
        return kExitController;
    }
    const bool interrupted = status == link::OpStatus::Cancelled;
    // Keeping what was read: the file holds slots 1..read whatever ended the read.
    const files::FileResult saved = writeLog(r, *store);
    if (!saved.ok) {
        r.error = QStringLiteral("не удалось записать %1: %2").arg(r.invocation.file, saved.reason);
        return kExitUsage;
    }
    QJsonArray missing;
    for (int slot : read.missing)
        missing.append(slot);
    r.report.add(QStringLiteral("file"), r.invocation.file, QStringLiteral("Файл"),
                 r.invocation.file);
    r.report.add(QStringLiteral("records"), read.read, QStringLiteral("Записей"),
                 QStringLiteral("%1 из %2").arg(read.read).arg(read.total));
    r.report.add(QStringLiteral("total"), read.total, QStringLiteral("В контроллере"),
                 QString::number(read.total));
    r.report.add(QStringLiteral("missing"), missing, QStringLiteral("Не пришли"),
                 read.missing.empty() ? QStringLiteral("—") : QString::number(read.missing.size()));
    r.report.add(QStringLiteral("interrupted"), interrupted, QStringLiteral("Прервано"),
                 interrupted ? QStringLiteral("да") : QStringLiteral("нет"));
    if (interrupted) {
        r.error =
            QStringLiteral("чтение прервано: записано %1 из %2").arg(read.read).arg(read.total);
        return kExitInterrupted;
    }
    if (status == link::OpStatus::Disconnected) {
        r.error =
            QStringLiteral("контроллер отключён: записано %1 из %2").arg(read.read).arg(read.total);
        return kExitController;
    }
    return kExitOk;
}

} // namespace vardex::cli

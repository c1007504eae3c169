#include "export/widgets/table_export.h"

#include "common/clock.h"
#include "export/xlsx_file.h"
#include "kit/widgets/prompts.h"

#include <QCursor>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QStandardPaths>

namespace vardex::exporting {

namespace {

QString suffixOf(ExportFormat format)
{
    return format == ExportFormat::Csv ? QStringLiteral("csv") : QStringLiteral("xlsx");
}

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// The hourglass for the build and the write; the window counts nested overrides.
struct BusyCursor {
    BusyCursor() { QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

} // namespace

TableExport::TableExport(ui::Prompts &prompts, Clock &clock)
    : m_prompts(prompts), m_clock(clock),
      m_folder(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)),
      m_open([](const QUrl &url) { return QDesktopServices::openUrl(url); })
{
}

QString TableExport::datedPath(const ExportRequest &request) const
{
    const QString stamp = m_clock.now().toString(QStringLiteral("yyyy-MM-dd-HHmm"));
    return QDir(m_folder).filePath(
        QStringLiteral("%1-%2.%3").arg(request.baseName, stamp, suffixOf(request.format)));
}

QString TableExport::proposedPath(const ExportRequest &request) const
{
    return files::freeFileName(datedPath(request));
}

files::FileResult TableExport::run(const ExportRequest &asked, const std::function<Table()> &build)
{
    ExportRequest request = asked;
    const CsvFormat csv = csvFormat();
    QString path;
    if (request.saveAs) {
        ui::FileDialogRequest dialog;
        dialog.title = QStringLiteral("Сохранить как…");
        dialog.filter = QStringLiteral("Книга Excel *.xlsx|*.xlsx|Текст CSV (%1) *.csv|*.csv")
                            .arg(csv.description());
        dialog.filterIndex = request.format == ExportFormat::Csv ? 2 : 1;
        dialog.defaultSuffix = suffixOf(request.format);
        dialog.fileName = proposedPath(request);
        path = m_prompts.saveFileName(dialog);
        if (path.isEmpty())
            return {};
        // The engineer chose the name (and agreed to replace it in the dialog); the
        // suffix typed decides the format.
        const QString suffix = QFileInfo(path).suffix().toLower();
        if (suffix == QLatin1String("csv"))
            request.format = ExportFormat::Csv;
        else if (suffix == QLatin1String("xlsx"))
            request.format = ExportFormat::Xlsx;
    } else {
        QDir().mkpath(m_folder);
        // The name is taken before the table is built: another export in the same minute,
        // here or in a second window, gets the next one.
        const files::FileResult reserved = files::reserveFreeName(datedPath(request));
        if (!reserved.ok) {
            m_prompts.message(QStringLiteral("%1 не записан в файл %2: %3")
                                  .arg(request.subject, native(reserved.path), reserved.reason),
                              ui::Prompts::Kind::Error);
            return reserved;
        }
        path = reserved.path;
    }

    files::FileResult written;
    {
        const BusyCursor busy;
        const Table table = build();
        written = request.format == ExportFormat::Csv
                      ? files::saveAtomically(path, toCsv(table, csv))
                      : writeXlsxFile(path, table, m_clock.now());
    }
    // The empty file holding the name is no export.
    if (!written.ok && !request.saveAs && QFileInfo(path).size() == 0)
        QFile::remove(path);
    if (!written.ok) {
        m_prompts.message(QStringLiteral("%1 не записан в файл %2: %3")
                              .arg(request.subject, native(path), written.reason),
                          ui::Prompts::Kind::Error);
        return written;
    }
    const QString note = request.note.isEmpty() ? QString() : QStringLiteral("\n\n") + request.note;
    const ui::Prompts::Kind kind =
        request.note.isEmpty() ? ui::Prompts::Kind::Information : ui::Prompts::Kind::Warning;
    if (request.format == ExportFormat::Csv) {
        m_prompts.message(QStringLiteral("%1 записан в файл %2 (%3).%4")
                              .arg(request.subject, native(path), csv.description(), note),
                          kind);
    } else if (!m_open(QUrl::fromLocalFile(path))) {
        m_prompts.message(QStringLiteral("%1 записан в файл %2, но открыть его нечем.%3")
                              .arg(request.subject, native(path), note),
                          kind);
    } else if (!note.isEmpty()) {
        m_prompts.message(
            QStringLiteral("%1 записан в файл %2.%3").arg(request.subject, native(path), note),
            kind);
    } else if (m_notice) {
        m_notice(QStringLiteral("%1 записан в файл %2").arg(request.subject, native(path)));
    }
    return written;
}

} // namespace vardex::exporting

#pragma once

#include "export/csv.h"
#include "export/table.h"
#include "files/file_io.h"

#include <QLocale>
#include <QString>
#include <QUrl>

#include <functional>

namespace vardex {
class Clock;
}
namespace vardex::ui {
class Prompts;
}

namespace vardex::exporting {

enum class ExportFormat { Xlsx, Csv };

// What one export writes and how it is named.
struct ExportRequest {
    ExportFormat format = ExportFormat::Xlsx;
    // The file name without date and suffix ("vardex-log").
    QString baseName;
    // Subject of the messages: "Лог записан в файл …".
    QString subject;
    // Ask for the folder and name instead of taking the export folder.
    bool saveAs = false;
    // Said with the result when not empty (values the engineer should not trust yet).
    QString note;
};

// The one way a page exports a table: name the file (a new name in the export folder,
// never one that exists, or the engineer's choice with "Сохранить как…"), write it,
// then open a workbook with the desktop's program or say where the file is. Every
// outcome that is not a silent success is said through the prompts seam, with the file.
class TableExport {
public:
    TableExport(ui::Prompts &prompts, Clock &clock);

    // Where exports go: the user's documents folder unless set.
    void setFolder(const QString &folder) { m_folder = folder; }
    const QString &folder() const { return m_folder; }
    // What opens a written workbook: the desktop's default application unless set.
    void setUrlOpener(std::function<bool(const QUrl &)> opener) { m_open = std::move(opener); }
    // Whose conventions a CSV follows: the system's locale unless set.
    void setLocale(const QLocale &locale) { m_locale = locale; }
    CsvFormat csvFormat() const { return CsvFormat::forLocale(m_locale); }
    // Where a quiet "written to" goes when the workbook opened and nothing else is to be
    // said (the main window's hint line); none unless set.
    void setNotice(std::function<void(const QString &)> notice) { m_notice = std::move(notice); }

    // The file the export would take in the export folder now.
    QString proposedPath(const ExportRequest &request) const;

    // Builds the table only when a file is to be written. The result names the file
    // written (ok), the file that failed, or nothing (path empty: cancelled).
    files::FileResult run(const ExportRequest &request, const std::function<Table()> &build);

private:
    // The export folder's "<base>-<date>.<suffix>", taken or not.
    QString datedPath(const ExportRequest &request) const;

    ui::Prompts &m_prompts;
    Clock &m_clock;
    QString m_folder;
    QLocale m_locale;
    std::function<bool(const QUrl &)> m_open;
    std::function<void(const QString &)> m_notice;
};

} // namespace vardex::exporting

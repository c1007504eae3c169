#pragma once

#include "kit/widgets/page.h"
#include "kit/widgets/page_context.h"
#include "log/graph_selection.h"
#include "log/log_record.h"
#include "log/log_transfer.h"
#include "log/record_store.h"
#include "log/sensor_resolutions.h"

#include <QPointer>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <memory>

class QLabel;
class QPushButton;
class QScrollBar;
class QSpinBox;
class QTimer;

namespace vardex::exporting {
class TableExport;
enum class ExportFormat;
} // namespace vardex::exporting

namespace vardex::log {

class LogGraphForm;
class LogView;

// The log page ("Логирование "): reads the controller's event log into its record
// store, steps through it, saves and loads *.log files and exports the log to a
// spreadsheet. Owns the store for the life of the window.
class LogFrame : public QWidget, public ui::Page {
    Q_OBJECT
public:
    explicit LogFrame(ui::PageContext context, QWidget *parent = nullptr);
    ~LogFrame() override;

    // The store lives from construction until the window closes.
    const RecordStore &store() const;
    bool hasRecordStore() const { return m_store != nullptr; }
    const LogRecord &workingRecord() const { return m_working; }
    bool isReading() const { return m_reading; }
    // The button the graph window hangs on.
    QPushButton *showGraphButton() const { return m_graphButton; }

    // Where exports go (the user's documents folder unless set), what opens them (the
    // desktop's default application unless set) and whose conventions a CSV follows.
    exporting::TableExport &tableExport() const { return *m_export; }
    void setExportFolder(const QString &folder);
    void setUrlOpener(std::function<bool(const QUrl &)> opener);

    // The codes temperatures are shown, drawn and exported with, and whether they are
    // known (a description, a configuration or the log's companion file) or a guess.
    SensorResolutions sensorResolutions() const;
    // The chart window opened from this page, while it is open.
    LogGraphForm *graphWindow() const;

    // ui::Page
    void onConnectionChanged(bool connected) override;
    void onChannelNames(const ChannelNames &names) override;
    // The sensors' resolutions may have changed: temperatures are shown again.
    void onDescriptionRead(const link::DescriptionResult &result) override;
    void onClosing() override;
    // A configuration was loaded from a file or read from the controller: its sensor
    // resolutions are now known. The record, an open graph window and the next export
    // follow at once.
    void onConfigurationTaken();

    void readFullLog();
    void stopRead();
    void readOneRecord();
    void saveLog();
    void loadLog();
    void exportExcel();
    void exportCsv();
    // "Сохранить как…": the engineer picks folder, name and format.
    void exportAs();
    // The wizard and the chart window over the store.
    void showGraphs();

signals:
    // A full read finished, or a file was loaded: the store holds a new log.
    void logChanged();

private:
    void buildControls();
    void refreshView();
    void setReading(bool reading);
    void showReadProgress();
    void finishFullRead(const FullReadResult &result, qint64 elapsedMs);
    void showLoadedLog(int records, int position);
    void onScroll(int position);
    bool refuseEmptyExport();
    void exportLog(exporting::ExportFormat format, bool saveAs);
    void resolutionsChanged();
    bool imageResolutionsKnown() const;
    // A description or configuration gave the image codes: the log takes them when it came
    // from this controller without codes, or when the engineer agrees.
    void imageResolutionsTaken();
    void closeGraphWindow();

    ui::PageContext m_ctx;
    std::unique_ptr<RecordStore> m_store = std::make_unique<RecordStore>();
    LogRecord m_working;
    bool m_reading = false;
    bool m_connected = false;
    bool m_closing = false;
    bool m_recordShown = false; // a record read or loaded is on the page
    int m_readTotal = 0;
    int m_readPosition = 0; // the last slot filled by the running read
    // Shows m_readPosition (and, for a short log, its record) a few times a second.
    QTimer *m_readRefresh = nullptr;
    static constexpr int kReadRefreshMs = 250;

    LogView *m_view = nullptr;
    QPushButton *m_readButton = nullptr;
    QPushButton *m_stopButton = nullptr;
    QPushButton *m_readRecordButton = nullptr;
    QSpinBox *m_recordEdit = nullptr;
    QScrollBar *m_scrollBar = nullptr;
    QLabel *m_position = nullptr;
    QLabel *m_maxRecords = nullptr;
    QLabel *m_elapsed = nullptr;
    QPushButton *m_saveButton = nullptr;
    QPushButton *m_loadButton = nullptr;
    QPushButton *m_graphButton = nullptr;
    QPushButton *m_excelButton = nullptr;
    QPushButton *m_csvButton = nullptr;
    QPushButton *m_exportAsButton = nullptr;

    // The graph choices live as long as the page, so the next opening starts from them.
    GraphSelection m_graphSelection;
    ChannelNames m_channelNames;

    // Set by a description or a configuration; the codes then are the image's, for the
    // controller m_imageKnownFor (empty: none was connected). Dropped on unplug.
    bool m_imageResolutionsKnown = false;
    QString m_imageKnownFor;
    // Where the log in the store came from: nothing yet (records shown come from the
    // controller), a file (empty), or the controller with that id.
    std::optional<QString> m_logSource;
    // The log's own codes: its companion's, or the controller's known when it was read.
    // They win until the engineer agrees to take a configuration's instead.
    std::optional<TemperatureResolutions> m_logResolutions;
    QPointer<LogGraphForm> m_graphs;
    std::unique_ptr<exporting::TableExport> m_export;
};

} // namespace vardex::log

#include "log/widgets/log_frame.h"

#include "export/widgets/table_export.h"
#include "files/widgets/file_dialogs.h"
#include "kit/widgets/control_helpers.h"
#include "kit/widgets/prompts.h"
#include "kit/widgets/status_bar.h"
#include "link/data_module.h"
#include "link/description_result.h"
#include "log/log_file.h"
#include "log/log_table.h"
#include "log/read_duration.h"
#include "log/widgets/log_graph_form.h"
#include "log/widgets/log_graphs.h"
#include "log/widgets/log_view.h"

#include <QDir>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

namespace vardex::log {

namespace {

QPushButton *button(const char *name, const QString &caption, const QString &hint, QWidget *parent)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    if (!hint.isEmpty())
        ui::setHint(b, hint, false);
    return b;
}

QLabel *counter(const char *name, QWidget *parent)
{
    auto *l = new QLabel(QStringLiteral("0"), parent);
    l->setObjectName(QLatin1String(name));
    l->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Fixed in both directions: a new number only repaints the label, it never asks the
    // window for a new layout.
    l->setFixedSize(l->fontMetrics().horizontalAdvance(QStringLiteral("163840")) + 8,
                    l->sizeHint().height());
    return l;
}

} // namespace

LogFrame::LogFrame(ui::PageContext context, QWidget *parent)
    : QWidget(parent), m_ctx(context),
      m_export(std::make_unique<exporting::TableExport>(context.prompts, context.clock))
{
    setObjectName(QStringLiteral("LogFrame1"));
    m_readRefresh = new QTimer(this);
    m_readRefresh->setObjectName(QStringLiteral("LogReadRefreshTimer"));
    m_readRefresh->setInterval(kReadRefreshMs);
    connect(m_readRefresh, &QTimer::timeout, this, &LogFrame::showReadProgress);
    m_export->setNotice([this](const QString &text) { m_ctx.statusBar.setPanelText(5, text); });
    buildControls();
    setReading(false);
}

LogFrame::~LogFrame() = default;

const RecordStore &LogFrame::store() const
{
    static const RecordStore released;
    return m_store ? *m_store : released;
}

void LogFrame::buildControls()
{
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(4, 4, 4, 4);
    auto *frame = new QGroupBox(tr("Логирование "), this);
    outer->addWidget(frame);
    auto *columns = new QHBoxLayout(frame);
    columns->setContentsMargins(6, 4, 6, 4);
    auto *layout = new QVBoxLayout;
    layout->setSpacing(2);
    columns->addLayout(layout, 1);
    auto *side = new QVBoxLayout;
    side->setSpacing(4);
    columns->addLayout(side);

    auto *bar = new QHBoxLayout;
    layout->addLayout(bar);

    auto *reading = new QGroupBox(tr("Чтение"), frame);
    auto *rl = new QGridLayout(reading);
    rl->setContentsMargins(6, 4, 6, 4);
    m_readButton = button("ReadLogBtn", tr("Чтение"), tr("Чтение лога из монитора"), reading);
    m_stopButton = button("StopLogBtn", tr("Стоп"), tr("Остановить чтение лога"), reading);
    rl->addWidget(m_readButton, 0, 0);
    rl->addWidget(m_stopButton, 0, 1);
    rl->addWidget(new QLabel(tr("Запись "), reading), 1, 0, Qt::AlignRight);
    m_recordEdit = new QSpinBox(reading);
    m_recordEdit->setObjectName(QStringLiteral("LogRecEdit"));
    m_recordEdit->setRange(1, RecordStore::kSlots);
    m_recordEdit->setValue(1);
    rl->addWidget(m_recordEdit, 1, 1);
    m_readRecordButton =
        button("ReadLogRecBtn", tr("Прочитать"), tr("Чтение одной записи лога"), reading);
    rl->addWidget(m_readRecordButton, 1, 2);
    bar->addWidget(reading);

    auto *records = new QGroupBox(tr("Записи"), frame);
    auto *nl = new QGridLayout(records);
    nl->setContentsMargins(6, 4, 6, 4);
    m_position = counter("stLogPositionRecords", records);
    m_maxRecords = counter("stLogMaxRecords", records);
    nl->addWidget(new QLabel(tr("Текущая"), records), 0, 0);
    nl->addWidget(new QLabel(tr("Всего"), records), 0, 1);
    nl->addWidget(m_position, 1, 0);
    nl->addWidget(m_maxRecords, 1, 1);
    m_elapsed = new QLabel(tr("Время "), records);
    m_elapsed->setObjectName(QStringLiteral("Label1"));
    m_elapsed->setWordWrap(true);
    nl->addWidget(m_elapsed, 0, 2, 2, 1);
    nl->setColumnStretch(2, 1);
    bar->addWidget(records, 1);

    m_scrollBar = new QScrollBar(Qt::Horizontal, frame);
    m_scrollBar->setObjectName(QStringLiteral("LogScrollBar"));
    m_scrollBar->setRange(1, 100);
    m_scrollBar->setValue(1);
    layout->addWidget(m_scrollBar);

    m_view = new LogView(frame);
    layout->addWidget(m_view, 1);

    auto *actions = new QGroupBox(tr("Лог"), frame);
    auto *al = new QGridLayout(actions);
    al->setContentsMargins(6, 4, 6, 4);
    m_saveButton = button("SaveLogBtn", tr("Сохранить"), tr("Сохранить лог в файле"), actions);
    m_loadButton = button("LoadLogBtn", tr("Загрузить"), tr("Считать лог из файла"), actions);
    m_graphButton = button("ShowGraphBtn", tr("График"), QString(), actions);
    m_excelButton =
        button("ExportEcxelBtn", tr("Экспорт Excel"), tr("Экспорт лога в EXCEL"), actions);
    m_csvButton = button("ExportCsvBtn", tr("Экспорт CSV"), tr("Экспорт лога в файл CSV"), actions);
    m_exportAsButton = button("ExportAsBtn", tr("Сохранить как…"),
                              tr("Экспорт лога в выбранный файл (xlsx или CSV)"), actions);
    al->addWidget(m_saveButton, 0, 0);
    al->addWidget(m_loadButton, 0, 1);
    al->addWidget(m_graphButton, 1, 0);
    al->addWidget(m_exportAsButton, 1, 1);
    al->addWidget(m_excelButton, 2, 0);
    al->addWidget(m_csvButton, 2, 1);
    side->addWidget(actions);
    side->addWidget(m_view->flagsBox(), 1);

    connect(m_readButton, &QPushButton::clicked, this, &LogFrame::readFullLog);
    connect(m_stopButton, &QPushButton::clicked, this, &LogFrame::stopRead);
    connect(m_readRecordButton, &QPushButton::clicked, this, &LogFrame::readOneRecord);
    connect(m_saveButton, &QPushButton::clicked, this, &LogFrame::saveLog);
    connect(m_loadButton, &QPushButton::clicked, this, &LogFrame::loadLog);
    connect(m_excelButton, &QPushButton::clicked, this, &LogFrame::exportExcel);
    connect(m_csvButton, &QPushButton::clicked, this, &LogFrame::exportCsv);
    connect(m_exportAsButton, &QPushButton::clicked, this, &LogFrame::exportAs);
    connect(m_graphButton, &QPushButton::clicked, this, &LogFrame::showGraphs);
    connect(m_scrollBar, &QScrollBar::valueChanged, this, &LogFrame::onScroll);
}

void LogFrame::setExportFolder(const QString &folder)
{
    m_export->setFolder(folder);
}

void LogFrame::setUrlOpener(std::function<bool(const QUrl &)> opener)
{
    m_export->setUrlOpener(std::move(opener));
}

LogGraphForm *LogFrame::graphWindow() const
{
    return m_graphs.data();
}

bool LogFrame::imageResolutionsKnown() const
{
    return m_imageResolutionsKnown && m_imageKnownFor == m_ctx.dm.currentDevice().id;
}

SensorResolutions LogFrame::sensorResolutions() const
{
    if (m_logResolutions)
        return {*m_logResolutions, true};
    // The image's codes speak for the controller they came from: for a log loaded from a
    // file or read from another controller they are a guess.
    const bool fromHere = !m_logSource || *m_logSource == m_ctx.dm.currentDevice().id;
    return {m_ctx.dm.image().config.dallasResolution, fromHere && imageResolutionsKnown()};
}

void LogFrame::imageResolutionsTaken()
{
    m_imageResolutionsKnown = true;
    m_imageKnownFor = m_ctx.dm.currentDevice().id;
    const TemperatureResolutions codes = m_ctx.dm.image().config.dallasResolution;
    if (m_logSource && m_logResolutions != codes) {
        const bool fromHere =
            *m_logSource == m_ctx.dm.currentDevice().id && !m_logSource->isEmpty();
        // A log this controller gave without codes takes its codes; any other log keeps its
        // own until the engineer says otherwise.
        if (fromHere && !m_logResolutions) {
            m_logResolutions = codes;
        } else if (m_ctx.prompts.question(
                       m_logResolutions
                           ? tr("У показанного лога своя точность датчиков температуры. "
                                "Заменить её точностью из конфигурации?")
                           : tr("Точность датчиков температуры показанного лога неизвестна. "
                                "Применить к нему точность из конфигурации?"),
                       false, ui::Prompts::Answer::No) == ui::Prompts::Answer::Yes) {
            m_logResolutions = codes;
        }
    }
    resolutionsChanged();
}

void LogFrame::refreshView()
{
    const SensorResolutions res = sensorResolutions();
    m_view->showRecord(m_working, res.codes);
    // The zeros of the empty page are no temperatures to doubt.
    if (!m_recordShown)
        return;
    m_view->setResolutionsKnown(res.known);
    if (!res.known)
        m_ctx.statusBar.setPanelText(5, unknownResolutionText());
}

void LogFrame::resolutionsChanged()
{
    refreshView();
    if (m_graphs && m_store) {
        const SensorResolutions res = sensorResolutions();
        m_graphs->setPoints(graphPointsOf(m_graphs->selection(), *m_store, res.codes),
                            resolutionNote(res));
    }
}

void LogFrame::onConfigurationTaken()
{
    imageResolutionsTaken();
}

void LogFrame::closeGraphWindow()
{
    // It drew the log that was there before: a new one is drawn from the wizard.
    if (m_graphs)
        m_graphs->close();
}

// While a read holds the store nothing else may touch it: a second read, a save of
// half a log, a load under the read, a graph or an export of slots being filled.
void LogFrame::setReading(bool reading)
{
    m_reading = reading;
    m_readButton->setEnabled(!reading && m_connected);
    m_readRecordButton->setEnabled(!reading && m_connected);
    m_stopButton->setEnabled(reading);
    for (QPushButton *b :
         {m_saveButton, m_loadButton, m_graphButton, m_excelButton, m_csvButton, m_exportAsButton})
        b->setEnabled(!reading);
}

void LogFrame::onConnectionChanged(bool connected)
{
    m_connected = connected;
    setReading(m_reading);
    // Codes learnt from a controller unplugged (or replaced) say nothing of the next one.
    if (!connected || m_imageKnownFor != m_ctx.dm.currentDevice().id) {
        const bool was = sensorResolutions().known;
        m_imageResolutionsKnown = false;
        if (was != sensorResolutions().known)
            resolutionsChanged();
    }
}

void LogFrame::onChannelNames(const ChannelNames &names)
{
    m_channelNames = names;
    m_view->setChannelNames(names);
}

void LogFrame::showGraphs()
{
    if (m_reading || !m_store)
        return;
    closeGraphWindow();
    m_graphs = showLogGraphs(this, m_graphSelection, *m_store, sensorResolutions(), m_ctx.prompts,
                             m_channelNames);
}

void LogFrame::onDescriptionRead(const link::DescriptionResult &result)
{
    if (!result.configurationRead)
        return;
    imageResolutionsTaken();
}

void LogFrame::onClosing()
{
    m_closing = true;
    if (m_reading) {
        // The window waits for the read to unwind before it closes for good.
        m_ctx.dm.cancel();
        return;
    }
    closeGraphWindow();
    m_store.reset();
    setEnabled(false);
}

void LogFrame::onScroll(int position)
{
    if (!m_store || !m_store->isLoaded() || m_reading)
        return;
    m_working = m_store->record(position);
    m_position->setText(QString::number(position));
    refreshView();
}

// ---- reading ----------------------------------------------------------------------------

void LogFrame::readFullLog()
{
    if (m_reading || !m_store)
        return;
    setReading(true);
    const qint64 started = m_ctx.clock.monotonicMs();
    const QString name = tr("Чтение журнала");
    const bool taken = m_ctx.dm.runOperation(name, [this, started](link::OperationContext &ctx) {
        FullReadObserver observer;
        observer.started = [this](int total) {
            m_readTotal = total;
            m_readPosition = 0;
            m_maxRecords->setText(QString::number(total));
            m_readRefresh->start();
        };
        // Records come every few milliseconds: the page shows where the read is on its
        // refresh timer, not per record, so a read costs a few repaints a second.
        observer.recordStored = [this](int n, const LogRecord &working) {
            m_readPosition = n;
            if (m_readTotal < kLiveViewLimit) {
                m_recordShown = true;
                m_working = working;
            }
        };
        const FullReadResult result = log::readFullLog(ctx, *m_store, m_working, observer);
        finishFullRead(result, m_ctx.clock.monotonicMs() - started);
    });
    if (!taken) // another page's long sequence holds the link
        setReading(false);
}

void LogFrame::stopRead()
{
    if (m_reading)
        m_ctx.dm.cancel();
}

void LogFrame::showReadProgress()
{
    const QString text = QString::number(m_readPosition);
    if (m_position->text() == text)
        return;
    m_position->setText(text);
    if (m_readTotal < kLiveViewLimit)
        refreshView();
}

void LogFrame::finishFullRead(const FullReadResult &result, qint64 elapsedMs)
{
    m_readRefresh->stop();
    setReading(false);
    if (m_closing)
        return;
    if (result.result.status == link::OpStatus::NoReply) {
        m_ctx.statusBar.setPanelText(5, result.result.message);
        return;
    }
    if (result.total == 0)
        return; // the ring positions stand for no log: nothing changes
    // Read from this controller: its codes go with the log when they are known for it.
    m_logSource = m_ctx.dm.currentDevice().id;
    m_logResolutions.reset();
    if (imageResolutionsKnown())
        m_logResolutions = m_ctx.dm.image().config.dallasResolution;
    closeGraphWindow();
    m_working = result.working;
    m_recordShown = true;
    QString text = tr("Время ") + readDurationText(elapsedMs);
    if (result.read < result.total)
        text += tr(", прочитано %1 из %2").arg(result.read).arg(result.total);
    if (!result.missing.empty())
        text += tr(", пропущено %1").arg(result.missing.size());
    m_elapsed->setText(text);
    if (result.read > 0) {
        showLoadedLog(result.read, result.read);
    } else {
        m_maxRecords->setText(QStringLiteral("0"));
        m_position->setText(QStringLiteral("0"));
        refreshView();
    }
    emit logChanged();
}

void LogFrame::showLoadedLog(int records, int position)
{
    const QSignalBlocker quiet(m_scrollBar);
    m_scrollBar->setMaximum(records);
    m_scrollBar->setValue(position);
    m_maxRecords->setText(QString::number(records));
    m_position->setText(QString::number(position));
    m_working = m_store->record(position);
    m_recordShown = true;
    refreshView();
}

void LogFrame::readOneRecord()
{
    if (m_reading || !m_store)
        return;
    const int index = m_recordEdit->value();
    setReading(true);
    const QString name = tr("Чтение записи журнала %1").arg(index);
    const bool taken = m_ctx.dm.runOperation(name, [this, index](link::OperationContext &ctx) {
        const std::optional<LogRecord> record = readSingleRecord(ctx, index);
        setReading(false);
        if (m_closing)
            return;
        if (!record) {
            m_ctx.statusBar.setPanelText(5, tr("Нет ответа контроллера"));
            return;
        }
        m_working = *record;
        m_recordShown = true;
        refreshView();
    });
    if (!taken)
        setReading(false);
}

// ---- the *.log file ---------------------------------------------------------------------

void LogFrame::saveLog()
{
    if (m_reading || !m_store || !m_store->isLoaded())
        return;
    const QString path = files::askSavePath(m_ctx.prompts, files::FileKind::Log,
                                            tr("Сохранить протокол работы терминала"));
    if (path.isEmpty())
        return;
    // The codes go beside the log only when they are known: a guess kept in a file
    // would pass for the truth when the log is loaded again.
    const SensorResolutions res = sensorResolutions();
    const LogSaveResult saved =
        saveLogFile(path, *m_store,
                    res.known ? std::optional<TemperatureResolutions>(res.codes) : std::nullopt);
    if (!saved.ok())
        m_ctx.prompts.message(saved.message(), ui::Prompts::Kind::Error);
}

void LogFrame::loadLog()
{
    if (m_reading || !m_store)
        return;
    const QString path = files::askOpenPath(m_ctx.prompts, files::FileKind::Log,
                                            tr("Загрузить протокол работы терминала"));
    if (path.isEmpty())
        return;
    const LogLoadResult loaded = loadLogFile(path, *m_store);
    if (!loaded.file.ok) {
        m_ctx.prompts.message(loaded.file.message(), ui::Prompts::Kind::Error);
        return;
    }
    if (loaded.loaded()) {
        closeGraphWindow();
        m_logSource = QString(); // a file: only its companion speaks for it
        m_logResolutions = loaded.resolutions;
        showLoadedLog(loaded.records, 1);
        emit logChanged();
    }
    if (!loaded.notice.isEmpty())
        m_ctx.prompts.message(loaded.notice, loaded.loaded() && loaded.badDates == 0
                                                 ? ui::Prompts::Kind::Information
                                                 : ui::Prompts::Kind::Warning);
}

// ---- export -----------------------------------------------------------------------------

bool LogFrame::refuseEmptyExport()
{
    if (!m_store)
        return true;
    if (m_store->isLoaded())
        return false;
    m_ctx.prompts.message(tr("Нечего экспортировать: прочитайте лог из монитора или загрузите "
                             "его из файла."),
                          ui::Prompts::Kind::Information);
    return true;
}

void LogFrame::exportLog(exporting::ExportFormat format, bool saveAs)
{
    if (m_reading || refuseEmptyExport())
        return;
    exporting::ExportRequest request;
    request.format = format;
    request.baseName = QStringLiteral("vardex-log");
    request.subject = tr("Лог");
    request.saveAs = saveAs;
    const SensorResolutions res = sensorResolutions();
    request.note = resolutionNote(res);
    m_export->run(request,
                  [this, codes = res.codes] { return log::buildLogTable(*m_store, codes); });
}

void LogFrame::exportExcel()
{
    exportLog(exporting::ExportFormat::Xlsx, false);
}

void LogFrame::exportCsv()
{
    exportLog(exporting::ExportFormat::Csv, false);
}

void LogFrame::exportAs()
{
    exportLog(exporting::ExportFormat::Xlsx, true);
}

} // namespace vardex::log

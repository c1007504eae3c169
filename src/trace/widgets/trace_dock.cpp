#include "trace/widgets/trace_dock.h"

#include "files/file_io.h"
#include "kit/widgets/prompts.h"
#include "trace/widgets/trace_model.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace vardex::trace {

using ui::FileDialogRequest;
using ui::Prompts;

namespace {
constexpr int kBatchMs = 150;
}

TraceDock::TraceDock(Prompts &prompts, QWidget *parent, const Clock &clock)
    : QDockWidget(QStringLiteral("Обмен"), parent), m_prompts(prompts), m_clock(clock),
      m_model(new TraceModel(TraceModel::kDefaultCapacity, this)),
      m_filter(new QSortFilterProxyModel(this)), m_batchTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("TraceDock"));
    m_filter->setSourceModel(m_model);
    m_filter->setFilterKeyColumn(TraceModel::Name);
    m_filter->setFilterCaseSensitivity(Qt::CaseInsensitive);

    auto *body = new QWidget(this);
    auto *layout = new QVBoxLayout(body);
    layout->setContentsMargins(4, 4, 4, 4);
    auto *bar = new QHBoxLayout;
    m_filterEdit = new QLineEdit(body);
    m_filterEdit->setObjectName(QStringLiteral("TraceFilterEdit"));
    m_filterEdit->setPlaceholderText(QStringLiteral("Фильтр по имени"));
    m_filterEdit->setClearButtonEnabled(true);
    m_pauseButton = new QPushButton(QStringLiteral("Пауза"), body);
    m_pauseButton->setObjectName(QStringLiteral("TracePauseBtn"));
    m_pauseButton->setCheckable(true);
    auto *clearButton = new QPushButton(QStringLiteral("Очистить"), body);
    clearButton->setObjectName(QStringLiteral("TraceClearBtn"));
    auto *saveButton = new QPushButton(QStringLiteral("Сохранить…"), body);
    saveButton->setObjectName(QStringLiteral("TraceSaveBtn"));
    bar->addWidget(m_filterEdit, 1);
    bar->addWidget(m_pauseButton);
    bar->addWidget(clearButton);
    bar->addWidget(saveButton);
    layout->addLayout(bar);

    m_view = new QTableView(body);
    m_view->setObjectName(QStringLiteral("TraceView"));
    m_view->setModel(m_filter);
    m_view->verticalHeader()->hide();
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->verticalHeader()->setDefaultSectionSize(m_view->fontMetrics().height() + 4);
    m_view->horizontalHeader()->setStretchLastSection(true);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setWordWrap(false);
    m_view->setFont(QFont(QStringLiteral("Monospace"), 9));
    const int digit = m_view->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    m_view->setColumnWidth(TraceModel::WallTime, digit * 14);
    m_view->setColumnWidth(TraceModel::Time, digit * 11);
    m_view->setColumnWidth(TraceModel::Direction, digit * 3);
    m_view->setColumnWidth(TraceModel::Name, digit * 28);
    m_view->setColumnWidth(TraceModel::Length, digit * 5);
    m_view->setColumnWidth(TraceModel::Hex, digit * 70);
    layout->addWidget(m_view, 1);
    setWidget(body);

    QScrollBar *scroll = m_view->verticalScrollBar();
    connect(scroll, &QScrollBar::valueChanged, this, &TraceDock::onScrolled);
    connect(scroll, &QScrollBar::rangeChanged, this, &TraceDock::onRangeChanged);
    connect(m_filterEdit, &QLineEdit::textChanged, m_filter,
            &QSortFilterProxyModel::setFilterFixedString);
    connect(m_pauseButton, &QPushButton::toggled, this, &TraceDock::setPaused);
    connect(clearButton, &QPushButton::clicked, this, &TraceDock::clear);
    connect(saveButton, &QPushButton::clicked, this, &TraceDock::saveAs);
    m_batchTimer->setInterval(kBatchMs);
    connect(m_batchTimer, &QTimer::timeout, this, &TraceDock::flush);
    m_batchTimer->start();
}

void TraceDock::append(const link::TraceEntry &entry)
{
    auto decoded = m_decoder.decode(entry, m_clock.now().time());
    if (m_lineSink)
        m_lineSink(formatLine(decoded));
    m_pending.push_back(std::move(decoded));
    // While paused nothing reaches the view; keep only what the view could hold.
    const auto cap = static_cast<std::size_t>(m_model->capacity());
    if (m_pending.size() > cap + cap / 4)
        m_pending.erase(m_pending.begin(), m_pending.end() - cap);
}

void TraceDock::flush()
{
    if (m_paused || m_pending.empty())
        return;
    m_model->appendBatch(std::move(m_pending));
    m_pending.clear();
}

void TraceDock::onScrolled(int value)
{
    // Only the engineer moves the view away from the end; following puts it back.
    m_following = value >= m_view->verticalScrollBar()->maximum();
}

void TraceDock::onRangeChanged(int, int maximum)
{
    if (m_following)
        m_view->verticalScrollBar()->setValue(maximum);
}

void TraceDock::setPaused(bool paused)
{
    m_paused = paused;
    if (m_pauseButton->isChecked() != paused)
        m_pauseButton->setChecked(paused);
    if (!paused)
        flush();
}

void TraceDock::clear()
{
    m_pending.clear();
    m_model->clear();
}

QString TraceDock::visibleText() const
{
    QString text;
    for (int row = 0; row < m_filter->rowCount(); ++row) {
        const QModelIndex source = m_filter->mapToSource(m_filter->index(row, 0));
        text += formatLine(m_model->entry(source.row()));
        text += QLatin1Char('\n');
    }
    return text;
}

QString TraceDock::allText() const
{
    QString text;
    for (int row = 0; row < m_model->rowCount(); ++row) {
        text += formatLine(m_model->entry(row));
        text += QLatin1Char('\n');
    }
    for (const DecodedEntry &e : m_pending) {
        text += formatLine(e);
        text += QLatin1Char('\n');
    }
    return text;
}

void TraceDock::saveAs()
{
    FileDialogRequest request;
    request.title = QStringLiteral("Сохранить обмен");
    request.filter = QStringLiteral("Текстовый файл *.txt|*.txt");
    request.defaultSuffix = QStringLiteral("txt");
    request.fileName = QStringLiteral("obmen.txt");
    const QString path = m_prompts.saveFileName(request);
    if (path.isEmpty())
        return;
    const files::FileResult result = files::saveAtomically(path, allText().toUtf8());
    if (!result.ok)
        m_prompts.message(QStringLiteral("Не удалось сохранить %1: %2").arg(path, result.reason),
                          Prompts::Kind::Error);
}

} // namespace vardex::trace

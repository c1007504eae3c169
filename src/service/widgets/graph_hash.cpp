#include "service/widgets/graph_hash.h"

#include "link/data_module.h"
#include "link/protocol.h"
#include "service/timed_hash_test.h"
#include "service/widgets/bench_resources.h"
#include "work/hash_hints.h"
#include "work/work_transfer.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace vardex::service {

namespace {

const char *const kCandidateCaptions[] = {"- 20 ", "- 10 ", "    0 ", "+10 ", "+20 "};

QLineEdit *digestEdit(const QString &name, QWidget *parent)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setReadOnly(true);
    QFont mono(QStringLiteral("Monospace"));
    mono.setStyleHint(QFont::TypeWriter);
    edit->setFont(mono);
    edit->setMinimumWidth(QFontMetrics(mono).horizontalAdvance(QString(42, QLatin1Char('0'))));
    return edit;
}

sign::TimeOfDay timeOfDay(const QTime &t)
{
    return {t.hour(), t.minute(), t.second()};
}

} // namespace

GraphHash::GraphHash(ui::PageContext context, QWidget *parent)
    : QGroupBox(QStringLiteral("HASH"), parent), m_ctx(context)
{
    setObjectName(QStringLiteral("GraphHashGroupBox"));
    auto *column = new QVBoxLayout(this);

    auto *buttons = new QHBoxLayout;
    for (std::size_t i = 0; i < m_buttons.size(); ++i) {
        const int offset = kTimedTestOffsets[i];
        auto *b = new QPushButton(
            offset > 0 ? QStringLiteral("+%1").arg(offset) : QString::number(offset), this);
        b->setObjectName(QStringLiteral("HashBtn%1").arg(i + 1));
        b->setMinimumWidth(44);
        connect(b, &QPushButton::clicked, this, [this, offset] { runTest(offset); });
        buttons->addWidget(b);
        m_buttons[i] = b;
    }
    auto *reset = new QToolButton(this);
    reset->setObjectName(QStringLiteral("SpeedButton3"));
    reset->setIcon(QIcon(benchPicture("hash-reset.svg")));
    reset->setIconSize(QSize(20, 20));
    reset->setStatusTip(tr("Сброс  HASH команды"));
    connect(reset, &QToolButton::clicked, this, [this] {
        m_ctx.dm.runBetweenSteps([](link::OperationContext &ctx) { work::resetHash(ctx); });
    });
    buttons->addSpacing(12);
    buttons->addWidget(reset);
    buttons->addStretch(1);
    column->addLayout(buttons);

    auto *times = new QHBoxLayout;
    m_label81 = new QLabel(tr("Время "), this);
    m_label81->setObjectName(QStringLiteral("Label81"));
    m_label81->setMinimumWidth(80);
    m_timeEdit = new QLineEdit(this);
    m_timeEdit->setObjectName(QStringLiteral("TimeEdit"));
    m_timeEdit->setReadOnly(true);
    m_timeEdit->setMaximumWidth(160);
    times->addWidget(m_label81);
    times->addWidget(m_timeEdit);
    times->addStretch(1);
    column->addLayout(times);

    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    int row = 0;
    m_answer = digestEdit(QStringLiteral("AnserHashEdit"), this);
    grid->addWidget(new QLabel(tr("Ответ "), this), row, 0, Qt::AlignRight);
    grid->addWidget(m_answer, row++, 1);
    for (std::size_t i = 0; i < m_edits.size(); ++i) {
        grid->addWidget(new QLabel(QString::fromUtf8(kCandidateCaptions[i]), this), row, 0,
                        Qt::AlignRight);
        m_edits[i] = digestEdit(QStringLiteral("HashEdit%1").arg(i + 1), this);
        grid->addWidget(m_edits[i], row, 1);
        if (static_cast<int>(i) != kUntimedCandidate) {
            auto *time = new QLabel(this);
            time->setObjectName(QStringLiteral("TimeLabel%1").arg(i + 1));
            time->setMinimumWidth(64);
            grid->addWidget(time, row, 2);
            m_times[i] = time;
        }
        ++row;
    }
    grid->setColumnStretch(1, 1);
    column->addLayout(grid);
}

bool GraphHash::isMarked(int n) const
{
    return m_edits[static_cast<std::size_t>(n - 1)]->property("marked").toBool();
}

void GraphHash::setMarked(QLineEdit *edit, bool marked)
{
    edit->setProperty("marked", marked);
    QPalette p = edit->palette();
    p.setColor(QPalette::Text, marked ? QColor(Qt::red) : QColor(Qt::black));
    edit->setPalette(p);
}

void GraphHash::runTest(int offset)
{
    m_ctx.dm.runBetweenSteps([this, offset](link::OperationContext &ctx) {
        // The time is taken when the exchange starts, not when the click was queued.
        const TimedTestPlan plan =
            planTimedTest(timeOfDay(m_ctx.clock.now().time()), offset, ctx.image().generatedKey);
        showBefore(plan);
        sendTimedTest(ctx, plan);
        // After a time-out the answer shows whatever the buffer holds.
        m_answer->setText(work::hexUpper(ctx.image().hashReply));
        showAfter(plan);
    });
}

void GraphHash::showBefore(const TimedTestPlan &plan)
{
    for (QLineEdit *edit : m_edits)
        setMarked(edit, false);
    m_label81->setText(tr("Время ") + QString::number(plan.roundedSecond));
    m_timeEdit->setText(timedTestTimes(plan));
}

void GraphHash::showAfter(const TimedTestPlan &plan)
{
    for (std::size_t i = 0; i < m_edits.size(); ++i) {
        m_edits[i]->setText(work::hexUpper(plan.candidates[i].digest));
        if (m_times[i])
            m_times[i]->setText(timeText(plan.candidates[i].time));
    }
    if (plan.markedCandidate >= 0)
        setMarked(m_edits[static_cast<std::size_t>(plan.markedCandidate)], true);
}

} // namespace vardex::service

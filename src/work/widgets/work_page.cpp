#include "work/widgets/work_page.h"

#include "kit/widgets/prompts.h"
#include "kit/widgets/status_bar.h"
#include "link/data_module.h"
#include "work/description_text.h"
#include "work/description_transfer.h"
#include "work/widgets/work_flags.h"
#include "work/widgets/work_hash.h"
#include "work/widgets/work_inputs.h"
#include "work/widgets/work_look.h"
#include "work/widgets/work_outputs.h"
#include "work/widgets/work_polling.h"
#include "work/work_transfer.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace vardex::ui {

using namespace worklook;

namespace {

QPushButton *button(const char *name, const QString &caption, const QString &hint, QWidget *parent)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setEnabled(false);
    setHint(b, hint, true);
    return b;
}

} // namespace

WorkPage::WorkPage(PageContext context, QWidget *parent) : QWidget(parent), m_ctx(context)
{
    setObjectName(QStringLiteral("WorkPage"));
    m_askTimer = new QTimer(this);
    m_askTimer->setObjectName(QStringLiteral("AskTimer"));
    m_askTimer->setInterval(1000);

    m_inputs = new WorkInputs(this);
    m_outputs = new WorkOutputs(m_ctx.dm, this);
    m_flags = new WorkFlags(this);
    m_hash = new WorkHash(m_ctx.dm, this);

    // Description and clock buttons; their actions belong to the description.
    m_queryDeviceBtn =
        button("QueryDeviceBtn", tr("Описание "), tr("Чтение описания монитора"), this);
    m_getDateTimeBtn = button("GetDateTimeBtn", tr("Часы"), tr("Текущее время монитора"), this);
    m_dateTimeSyncBtn =
        button("WorkDateTimeSyncBtn", tr("Синхр."), tr("Синхронизация часов монитора"), this);
    m_workStateBtn = button("WorkStateBtn", tr("Состояние"), tr("Опрос состояния монитора"), this);

    auto *poll = groupBox(QStringLiteral("PollGroupBox"), tr("Опрос"), this);
    m_askStateBtn =
        button("AskStateBtn", tr("Выкл"), tr("Циклический опрос состояния монитора"), poll);
    auto *pollLayout = new QVBoxLayout(poll);
    pollLayout->setContentsMargins(6, 2, 6, 6);
    pollLayout->addWidget(m_askStateBtn);

    auto *side = new QVBoxLayout;
    side->setSpacing(4);
    side->addWidget(m_queryDeviceBtn);
    side->addSpacing(6);
    side->addWidget(m_getDateTimeBtn);
    side->addWidget(m_dateTimeSyncBtn);
    side->addSpacing(6);
    side->addWidget(m_workStateBtn);
    side->addWidget(poll);
    side->addSpacing(6);
    side->addWidget(m_hash);
    side->addStretch(1);

    auto *sideColumn = new QWidget(this);
    sideColumn->setObjectName(QStringLiteral("WorkButtonColumn"));
    sideColumn->setLayout(side);
    side->setContentsMargins(0, 8, 0, 0);
    sideColumn->setFixedWidth(150);

    m_body = new QWidget(this);
    m_body->setObjectName(QStringLiteral("WorkPageBody"));
    auto *grid = new QGridLayout(m_body);
    grid->setContentsMargins(6, 6, 6, 6);
    grid->setSpacing(6);
    grid->addWidget(m_inputs, 0, 0);
    grid->addWidget(m_outputs, 0, 1);
    grid->addWidget(sideColumn, 0, 2);
    grid->addWidget(m_flags, 1, 0, 1, 3);
    grid->setRowStretch(0, 1);

    m_polling = new WorkPolling(
        m_ctx.dm, *m_askTimer, *m_askStateBtn, *m_workStateBtn, [this] { showMonitorState(); },
        this);
    // The hint line says how old the state is while the link is held by another sequence,
    // and is cleared (if it still says so) once a cycle has read it again.
    connect(m_polling, &WorkPolling::stateAge, this, [this](const QString &text) {
        if (!text.isEmpty())
            m_ageText = text;
        else if (m_ctx.statusBar.panelText(5) != m_ageText)
            return;
        m_ctx.statusBar.setPanelText(5, text);
    });

    connect(m_queryDeviceBtn, &QPushButton::clicked, this, &WorkPage::descriptionRequested);
    connect(m_getDateTimeBtn, &QPushButton::clicked, this, &WorkPage::readClock);
    connect(m_hash->clockButton(), &QPushButton::clicked, this, &WorkPage::readClock);
    connect(m_dateTimeSyncBtn, &QPushButton::clicked, this, &WorkPage::syncClock);
}

QSize WorkPage::sizeHint() const
{
    return m_body->sizeHint();
}

QSize WorkPage::minimumSizeHint() const
{
    return m_body->minimumSizeHint();
}

void WorkPage::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_body->setGeometry(rect());
}

void WorkPage::onConnectionChanged(bool connected)
{
    m_queryDeviceBtn->setEnabled(connected);
    if (connected)
        return;
    // Everything a description enabled that talks to the controller.
    for (QWidget *w : describedButtons())
        w->setEnabled(false);
    m_hash->enableButtons(false);
    m_askTimer->stop();
}

void WorkPage::onDescriptionRead(const link::DescriptionResult &result)
{
    if (result.described) {
        enableChannels(m_ctx.dm.image().config);
        for (QWidget *w : describedButtons())
            w->setEnabled(true);
    }
    if (result.identityAnswered)
        m_hash->enableButtons(true);
}

void WorkPage::onChannelNames(const ChannelNames &names)
{
    m_inputs->setChannelNames(names);
    m_flags->setChannelNames(names);
}

void WorkPage::onClosing()
{
    m_askTimer->stop();
}

std::vector<QWidget *> WorkPage::describedButtons() const
{
    return {m_dateTimeSyncBtn, m_outputs->taskButton(), m_getDateTimeBtn, m_workStateBtn,
            m_askStateBtn};
}

void WorkPage::readClock()
{
    QPointer<WorkPage> self(this);
    // A click: at the next step of a long sequence, not after it.
    m_ctx.dm.runBetweenSteps([self](link::OperationContext &ctx) {
        const work::ClockReadResult r = work::readClock(ctx);
        if (!self || !r.answered)
            return;
        if (r.text)
            self->m_ctx.statusBar.setPanelText(4, *r.text);
        else
            self->m_ctx.prompts.message(work::invalidClockMessage(r.clock), Prompts::Kind::Warning);
    });
}

void WorkPage::syncClock()
{
    // The time of the moment the request goes out, not of the click. The clock is read
    // back, as the command line does: a WriteClock lost on the way is said, not assumed.
    QPointer<WorkPage> self(this);
    m_ctx.dm.runBetweenSteps([self](link::OperationContext &ctx) {
        if (!self)
            return;
        Clock &clock = self->m_ctx.clock;
        const work::ClockSetCheck check =
            work::setClockChecked(ctx, [&clock] { return clock.now(); });
        if (!self)
            return;
        if (const auto failure = work::clockSetFailure(check)) {
            self->m_ctx.statusBar.setPanelText(5, tr("Синхронизация: %1").arg(*failure));
            return;
        }
        // The clock as read back, in the panel the clock read fills.
        if (const auto text = work::clockText(ctx.image().clock))
            self->m_ctx.statusBar.setPanelText(4, *text);
    });
}

void WorkPage::showMonitorState()
{
    const link::DeviceImage &image = m_ctx.dm.image();
    m_inputs->showState(image.state, image.config);
    m_outputs->showState(image.state);
    m_flags->showState(image.state);
}

void WorkPage::enableChannels(const link::MonitorConfig &config)
{
    m_inputs->enableChannels(config);
    m_outputs->enableChannels(config);
}

QPushButton *WorkPage::workTaskButton() const
{
    return m_outputs->taskButton();
}

QCheckBox *WorkPage::flag(int n) const
{
    return m_flags->flag(n);
}

} // namespace vardex::ui

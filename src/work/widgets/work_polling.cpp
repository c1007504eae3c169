#include "work/widgets/work_polling.h"

#include "link/data_module.h"
#include "work/widgets/work_look.h"
#include "work/work_transfer.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>

namespace vardex::ui {

WorkPolling::WorkPolling(link::DataModule &dm, QTimer &askTimer, QPushButton &askButton,
                         QPushButton &stateButton, std::function<void()> show, QObject *parent)
    : QObject(parent), m_dm(dm), m_timer(askTimer), m_ask(askButton), m_show(std::move(show))
{
    // A latching button: each press toggles its pressed look.
    m_ask.setCheckable(true);
    connect(&m_ask, &QPushButton::clicked, this, &WorkPolling::onAskClicked);
    connect(&stateButton, &QPushButton::clicked, this, &WorkPolling::readOnce);
    connect(&m_timer, &QTimer::timeout, this, &WorkPolling::onTick);
}

bool WorkPolling::isPolling() const
{
    return m_timer.isActive();
}

void WorkPolling::onAskClicked()
{
    // The timer decides, not the pressed look: after a removal stopped the timer
    // the button may still look pressed.
    const bool run = !m_timer.isActive();
    if (run)
        m_timer.start();
    else
        m_timer.stop();
    const work::PollSwitchLook look = work::pollSwitchLook(run);
    m_ask.setText(look.caption);
    worklook::setActiveLook(&m_ask, look.active);
}

void WorkPolling::onTick()
{
    const auto outcome = m_dm.runTick(this, [this](link::OperationContext &ctx) { cycle(ctx); });
    if (outcome == link::DataModule::TickOutcome::Ran)
        return;
    // The values stay as they were: say so, with their age, instead of looking live.
    QString text = outcome == link::DataModule::TickOutcome::Deferred
                       ? tr("Канал связи занят: опрос выполнится между шагами")
                       : tr("Опрос пропущен: канал связи занят");
    if (m_lastState.isValid()) {
        const qint64 age = m_lastState.secsTo(QDateTime::currentDateTime());
        text += tr(" — состояние на странице от %1 (%2 с назад)")
                    .arg(m_lastState.toString(QStringLiteral("hh:mm:ss")))
                    .arg(age);
    }
    m_ageShown = true;
    emit stateAge(text);
}

void WorkPolling::readOnce()
{
    // A click: at the next step of a long sequence, not after it.
    m_dm.runBetweenSteps([this](link::OperationContext &ctx) {
        if (work::readState(ctx, work::kSingleRead)) {
            m_lastState = QDateTime::currentDateTime();
            m_show();
        }
    });
}

void WorkPolling::cycle(link::OperationContext &ctx)
{
    QElapsedTimer elapsed;
    elapsed.start();
    const bool answered = work::readState(ctx, work::kPollCycle);
    // The page is written before the cycle time is taken: the shown time and the
    // restart decision cover the whole cycle, display included.
    if (answered) {
        m_lastState = QDateTime::currentDateTime();
        m_show();
        if (std::exchange(m_ageShown, false))
            emit stateAge(QString());
    }
    const qint64 ms = elapsed.elapsed();
    const work::CycleEnd end = work::decideCycleEnd(answered, ms, m_timer.interval(),
                                                    m_timer.isActive() && !m_dm.isShuttingDown());
    if (end.setCaption)
        m_ask.setText(end.caption);
    if (end.restartTimer)
        m_timer.start();
    emit cycleEnded(answered, ms, end.restartTimer);
}

} // namespace vardex::ui

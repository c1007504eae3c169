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
    m_dm.runIfIdle([this](link::OperationContext &ctx) { cycle(ctx); });
}

void WorkPolling::readOnce()
{
    m_dm.runOperation([this](link::OperationContext &ctx) {
        if (work::readState(ctx, work::kSingleRead))
            m_show();
    });
}

void WorkPolling::cycle(link::OperationContext &ctx)
{
    QElapsedTimer elapsed;
    elapsed.start();
    const bool answered = work::readState(ctx, work::kPollCycle);
    // The page is written before the cycle time is taken: the shown time and the
    // restart decision cover the whole cycle, display included.
    if (answered)
        m_show();
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

#include "cli/watch_loan.h"

#include "link/data_module.h"

namespace vardex::cli {

WatchLoan::WatchLoan(link::DataModule &dm, link::Lending &lending, Hooks hooks, QObject *parent)
    : QObject(parent), m_dm(dm), m_lending(lending), m_hooks(std::move(hooks))
{
    m_poll.setInterval(kPollMs);
    connect(&m_poll, &QTimer::timeout, this, &WatchLoan::step);
    connect(&lending, &link::Lending::requested, this, &WatchLoan::onRequested);
    connect(&lending, &link::Lending::returned, this, &WatchLoan::onReturned);
    connect(&dm, &link::DataModule::connectionChanged, this, [this](bool connected) {
        // Away, the link may take whatever Quellbox arrives; the watch lent its own and
        // takes back only that one.
        if (!connected || !away() || m_state == State::Finishing)
            return;
        const QString other = m_dm.currentDevice().id;
        if (other == m_device)
            return;
        m_hooks.note(
            QStringLiteral("контроллер %1 подключён, пока свой отдан: не взят").arg(other));
        m_dm.transport().withdraw(other);
    });
}

void WatchLoan::onRequested(const link::OwnerRecord &borrower)
{
    if (m_state != State::Holding || !m_dm.isConnected()) {
        m_lending.refuse(m_state != State::Holding
                             ? QStringLiteral("контроллер уже отдан")
                             : QStringLiteral("%1 нет контроллера").arg(m_hooks.holder));
        return;
    }
    m_borrower = link::holderText(borrower);
    m_device = m_dm.currentDevice().id;
    m_state = State::Finishing;
    m_lastWaitSaid = -1;
    m_since.start();
    if (m_hooks.awayChanged)
        m_hooks.awayChanged(true, m_borrower);
    step();
    if (m_state == State::Finishing)
        m_poll.start();
}

void WatchLoan::step()
{
    if (m_state == State::Finishing) {
        const int left = m_hooks.pulseLeftMs ? m_hooks.pulseLeftMs() : 0;
        if (left > 0 || m_dm.isBusy()) {
            // Said once per pulse, and again only if the pulse was held up.
            if (left > m_lastWaitSaid) {
                m_lending.wait(left + 1000);
                m_lastWaitSaid = left + 1000;
            }
            return;
        }
        m_poll.stop();
        if (!m_dm.isConnected()) {
            backHome();
            m_lending.refuse(QStringLiteral("%1 нет контроллера").arg(m_hooks.holder));
            return;
        }
        // Away before the device goes, so its loss is a loan and not an unplug.
        m_state = State::Lent;
        m_dm.transport().withdraw(m_device);
        m_lending.lend();
        return;
    }
    if (m_state == State::Retaking) {
        if (m_dm.isConnected()) {
            m_poll.stop();
            backHome();
            // One line per loan: a script borrowing every minute adds one line a minute.
            m_hooks.note(QStringLiteral("контроллер был отдан: %1, %2 с; снова %3")
                             .arg(m_borrower)
                             .arg(QString::number(m_since.elapsed() / 1000.0, 'f', 1)
                                      .replace(QLatin1Char('.'), QLatin1Char(',')),
                                  m_hooks.holder));
            m_hooks.resumed(true);
            return;
        }
        if (m_retakeWaited >= m_retakeMs) {
            m_poll.stop();
            backHome();
            m_hooks.note(QStringLiteral("контроллер был отдан: %1, и не вернулся за %2 с")
                             .arg(m_borrower)
                             .arg(m_retakeMs / 1000));
            m_hooks.resumed(false);
            return;
        }
        m_retakeWaited += kPollMs;
        // The borrower's lock may still be on its way out; asking again costs nothing.
        if (m_retakeWaited % 200 == 0 || m_retakeWaited == kPollMs)
            m_dm.transport().announce(m_device);
    }
}

void WatchLoan::backHome()
{
    m_state = State::Holding;
    if (m_hooks.awayChanged)
        m_hooks.awayChanged(false, {});
}

void WatchLoan::onReturned()
{
    if (m_state == State::Finishing) {
        // The borrower gave up before it got the controller.
        m_poll.stop();
        backHome();
        m_hooks.note(QStringLiteral("%1 больше не ждёт контроллер").arg(m_borrower));
        return;
    }
    if (m_state != State::Lent)
        return;
    m_state = State::Retaking;
    m_retakeWaited = 0;
    m_poll.start();
    step();
}

} // namespace vardex::cli

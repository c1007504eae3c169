#include "doctor/widgets/connection_guide.h"

#include "doctor/widgets/connect_card.h"
#include "kit/widgets/status_bar.h"
#include "link/data_module.h"

#include <QCoreApplication>
#include <QPointer>

#include <thread>

namespace vardex::doctor {

namespace {
constexpr int kLinkPanel = 5;
constexpr int kHolderPollMs = 1000;
} // namespace

ConnectionGuide::ConnectionGuide(link::DataModule &dm, ui::StatusBar &statusBar, ConnectCard &card,
                                 QObject *parent)
    : QObject(parent), m_dm(dm), m_statusBar(statusBar), m_card(card)
{
    connect(&dm, &link::DataModule::connectionChanged, this, &ConnectionGuide::onConnectionChanged);
    connect(&dm, &link::DataModule::openFailed, this,
            [this](const link::HidDeviceInfo &, const QString &error) { onOpenFailed(error); });
    connect(&m_async, &AsyncProbe::finished, this, &ConnectionGuide::onProbed);
    connect(&dm.transport(), &link::Transport::heldElsewhere, this,
            &ConnectionGuide::onHeldElsewhere);
    m_holderPoll.setInterval(kHolderPollMs);
    connect(&m_holderPoll, &QTimer::timeout, this, &ConnectionGuide::checkHolder);
    showGuidance(connectionGuidance(dm.isConnected()));
}

LinkFacts ConnectionGuide::linkFacts() const
{
    LinkFacts facts;
    facts.connected = m_dm.isConnected();
    facts.device = facts.connected ? m_dm.currentDevice().id : QString();
    facts.simulated = m_simulated;
    facts.openError = m_openError;
    return facts;
}

void ConnectionGuide::onConnectionChanged(bool connected)
{
    m_openError.clear();
    if (connected) {
        m_holderPoll.stop();
        m_asking = false;
    } else if (m_onLoan) {
        // Closed, unplugged or given back: the lock and the loan went with the device.
        m_onLoan = false;
        m_loanedDevice.clear();
        m_statusBar.setPanelText(kLinkPanel, QStringLiteral("Контроллер возвращён сторожу"));
        emit loanChanged(false);
        if (m_holder && m_heldDevice) {
            // The watch takes it back in a moment; the card offers to ask again.
            showGuidance(heldGuidance(*m_holder));
            m_holderPoll.start();
            return;
        }
    }
    showGuidance(connectionGuidance(connected));
}

void ConnectionGuide::onHeldElsewhere(const link::HidDeviceInfo &info,
                                      const link::OwnerRecord &holder)
{
    m_heldDevice = info;
    m_holder = holder;
    m_heldPending = true;
}

void ConnectionGuide::checkHolder()
{
    link::OwnerGate *gate = m_dm.transport().ownerGate();
    if (!gate || !m_heldDevice || m_asking || m_dm.isConnected()) {
        m_holderPoll.stop();
        return;
    }
    const auto holder = gate->holder(m_heldDevice->ownerKey);
    if (holder) {
        if (holder != m_holder) {
            m_holder = holder;
            showGuidance(heldGuidance(*holder));
        }
        return;
    }
    // The holder has let go: the controller is this window's now.
    m_holderPoll.stop();
    m_dm.transport().announce(m_heldDevice->id);
}

void ConnectionGuide::borrow()
{
    link::OwnerGate *gate = m_dm.transport().ownerGate();
    if (!gate || !m_heldDevice || !m_holder || m_asking || m_dm.isConnected())
        return;
    m_asking = true;
    m_holderPoll.stop();
    showGuidance(heldGuidance(*m_holder, true));
    m_statusBar.setPanelText(kLinkPanel, QStringLiteral("Прошу контроллер у сторожа…"));
    // The gate outlives the window's transport for as long as this thread needs it.
    std::shared_ptr<link::OwnerGate> keep = m_dm.transport().sharedOwnerGate();
    const QString key = m_heldDevice->ownerKey;
    QPointer<ConnectionGuide> self(this);
    std::thread([keep, key, self] {
        const link::Claim claim = keep->borrow(key);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, claim] {
                if (self)
                    self->onBorrowed(claim);
            },
            Qt::QueuedConnection);
    }).detach();
}

void ConnectionGuide::onBorrowed(const link::Claim &claim)
{
    m_asking = false;
    if (!m_heldDevice)
        return;
    if (!claim.granted) {
        if (claim.holder)
            m_holder = claim.holder;
        showGuidance(heldGuidance(*m_holder, false, claim.error));
        m_statusBar.setPanelText(kLinkPanel, claim.error);
        m_holderPoll.start();
        return;
    }
    const link::OwnerRecord lender = *m_holder;
    m_dm.transport().announce(m_heldDevice->id);
    if (!m_dm.isConnected()) {
        // The open failed after all: the loan goes back at once.
        if (link::OwnerGate *gate = m_dm.transport().ownerGate())
            gate->release(m_heldDevice->ownerKey);
        m_holderPoll.start();
        return;
    }
    m_onLoan = true;
    m_loanedDevice = m_dm.currentDevice().id;
    m_statusBar.setPanelText(
        kLinkPanel, QStringLiteral("Контроллер взят у сторожа %1; «Сервис → %2» вернёт его")
                        .arg(link::holderText(lender), kGiveBackText));
    emit loanChanged(true);
}

void ConnectionGuide::giveBack()
{
    if (!m_onLoan || m_loanedDevice.isEmpty())
        return;
    m_dm.transport().withdraw(m_loanedDevice);
}

void ConnectionGuide::onOpenFailed(const QString &error)
{
    m_openError = error;
    if (std::exchange(m_heldPending, false) && m_holder && !m_dm.isConnected()) {
        // Nothing to probe: the holder is known, and the card says what to do.
        m_statusBar.setPanelText(
            kLinkPanel, QStringLiteral("Контроллер занят: %1").arg(link::holderText(*m_holder)));
        showGuidance(heldGuidance(*m_holder, m_asking));
        m_holderPoll.start();
        return;
    }
    // The system's words at once; the doctor's reason replaces them when it is known.
    m_statusBar.setPanelText(kLinkPanel,
                             QStringLiteral("Нет доступа к контроллеру: %1").arg(error));
    m_async.setProbe(probeWithFacts());
    m_async.start();
}

void ConnectionGuide::onProbed(const SystemState &state)
{
    // The controller may have been taken (or the failure forgotten) meanwhile.
    if (m_dm.isConnected() || m_openError.isEmpty())
        return;
    const Diagnosis d = diagnose(state);
    showGuidance(connectionGuidance(false, d, m_openError));
    const QString status = statusText(d);
    if (!status.isEmpty())
        m_statusBar.setPanelText(kLinkPanel, status);
}

void ConnectionGuide::showGuidance(const Guidance &guidance)
{
    m_guidance = guidance;
    m_card.showGuidance(guidance);
    emit guidanceChanged();
}

} // namespace vardex::doctor

#include "doctor/widgets/connection_guide.h"

#include "doctor/widgets/connect_card.h"
#include "kit/widgets/status_bar.h"
#include "link/data_module.h"

namespace vardex::doctor {

namespace {
constexpr int kLinkPanel = 5;
}

ConnectionGuide::ConnectionGuide(link::DataModule &dm, ui::StatusBar &statusBar, ConnectCard &card,
                                 QObject *parent)
    : QObject(parent), m_dm(dm), m_statusBar(statusBar), m_card(card)
{
    connect(&dm, &link::DataModule::connectionChanged, this, &ConnectionGuide::onConnectionChanged);
    connect(&dm, &link::DataModule::openFailed, this,
            [this](const link::HidDeviceInfo &, const QString &error) { onOpenFailed(error); });
    connect(&m_async, &AsyncProbe::finished, this, &ConnectionGuide::onProbed);
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
    showGuidance(connectionGuidance(connected));
}

void ConnectionGuide::onOpenFailed(const QString &error)
{
    m_openError = error;
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

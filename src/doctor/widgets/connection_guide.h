#pragma once

#include "doctor/async_probe.h"
#include "doctor/guidance.h"

#include "link/transport.h"

#include <QObject>
#include <QTimer>

#include <optional>

namespace vardex::link {
class DataModule;
}
namespace vardex::ui {
class StatusBar;
}

namespace vardex::doctor {

class ConnectCard;

// Keeps the window's centre card and hint line telling the engineer what the link
// waits for: plug in, or, after a failed open, why (the doctor's diagnosis, probed on
// a worker thread) and what to do.
class ConnectionGuide : public QObject {
    Q_OBJECT
public:
    ConnectionGuide(link::DataModule &dm, ui::StatusBar &statusBar, ConnectCard &card,
                    QObject *parent = nullptr);

    void setProbe(SystemProbe probe) { m_probe = std::move(probe); }
    // The demo's controller is simulated: the doctor says so instead of probing hidraw.
    void setSimulated(bool simulated) { m_simulated = simulated; }
    // What the link knows now (for a probe started from the GUI thread).
    LinkFacts linkFacts() const;
    // The probe with the link's facts of this moment laid over its result.
    SystemProbe probeWithFacts() const { return withLinkFacts(m_probe, linkFacts()); }

    void onOpenFailed(const QString &error);
    const Guidance &guidance() const { return m_guidance; }
    // A probe after a failed open is under way.
    bool isProbing() const { return m_async.isRunning(); }

    // Asks the program holding the controller (a watch) to lend it; the link takes it once
    // it has let go. The answer comes on a worker thread, so the window stays live.
    void borrow();
    // Gives a borrowed controller back to its lender.
    void giveBack();
    bool onLoan() const { return m_onLoan; }

signals:
    // The card's or the hint line's text changed (tests wait for this).
    void guidanceChanged();
    void loanChanged(bool onLoan);

private:
    void onHeldElsewhere(const link::HidDeviceInfo &info, const link::OwnerRecord &holder);
    void onBorrowed(const link::Claim &claim);
    void checkHolder();

    void onConnectionChanged(bool connected);
    void onProbed(const SystemState &state);
    void showGuidance(const Guidance &guidance);

    link::DataModule &m_dm;
    ui::StatusBar &m_statusBar;
    ConnectCard &m_card;
    SystemProbe m_probe;
    AsyncProbe m_async;
    bool m_simulated = false;
    QString m_openError;
    Guidance m_guidance;
    // The controller another program held at the last open, and who.
    std::optional<link::HidDeviceInfo> m_heldDevice;
    std::optional<link::OwnerRecord> m_holder;
    bool m_heldPending = false; // the open failing now failed on the owner lock
    bool m_asking = false;
    bool m_onLoan = false;
    QString m_loanedDevice;
    // While held elsewhere: is the holder gone? Then the window takes the controller.
    QTimer m_holderPoll;
};

} // namespace vardex::doctor

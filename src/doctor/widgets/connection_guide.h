#pragma once

#include "doctor/async_probe.h"
#include "doctor/guidance.h"

#include <QObject>

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

signals:
    // The card's or the hint line's text changed (tests wait for this).
    void guidanceChanged();

private:
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
};

} // namespace vardex::doctor

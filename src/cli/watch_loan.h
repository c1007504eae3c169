#pragma once

#include "link/lending.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

namespace vardex::link {
class DataModule;
}

// The watch's side of a loan: a borrower asks (link::Lending), the watch finishes a pulse
// under way (its switch-off written and read back), lets the controller go, and takes it
// back once the borrower closes its end. Meanwhile the watch keeps pinging; a switch-on it
// decides is held (hold()) and written once the controller is back and settled.
namespace vardex::cli {

class WatchLoan : public QObject {
    Q_OBJECT
public:
    struct Hooks {
        // How long the pulse under way still runs (0: none; the switch-off is done).
        std::function<int()> pulseLeftMs;
        // One line in the watch's log.
        std::function<void(const QString &)> note;
        // The controller is back (true: settle what is owed, then write what was held) or
        // did not come back within the grace (false: the watch ends as on an unplug).
        std::function<void(bool back)> resumed;
        // Who lends, as the lines say it ("у сторожа": the watch has it again).
        QString holder = QStringLiteral("у сторожа");
        // Optional: the loan began (away, the borrower named) or ended.
        std::function<void(bool away, const QString &borrower)> awayChanged;
    };
    enum class State { Holding, Finishing, Lent, Retaking };

    WatchLoan(link::DataModule &dm, link::Lending &lending, Hooks hooks, QObject *parent = nullptr);

    State state() const { return m_state; }
    // From the request until the controller is back: the watch writes nothing and a loss
    // of the controller is not an unplug.
    bool away() const { return m_state != State::Holding; }
    // How long the controller is awaited after the return before the watch gives up.
    void setRetakeMs(int ms) { m_retakeMs = ms; }

    static constexpr int kPollMs = 50;
    static constexpr int kRetakeMs = 5000;

private:
    void onRequested(const link::OwnerRecord &borrower);
    void onReturned();
    void step();
    // Every way back to Holding goes through here, so awayChanged hears each end once.
    void backHome();

    link::DataModule &m_dm;
    link::Lending &m_lending;
    Hooks m_hooks;
    State m_state = State::Holding;
    QString m_device;
    QString m_borrower;
    QElapsedTimer m_since;
    QTimer m_poll;
    int m_retakeMs = kRetakeMs;
    int m_retakeWaited = 0;
    int m_lastWaitSaid = -1;
};

} // namespace vardex::cli

#pragma once

#include <QObject>

namespace vardex::ui {

class MainWindow;

// Buttons a description enables: those of the configuration, loops and state come
// with the configuration and the loops, the signed-command ones with the identity.
inline constexpr const char *kDescribedWorkButtons[] = {
    "WorkDateTimeSyncBtn",   "WorkTaskBtn", "GetDateTimeBtn",
    "WorkStateBtn",          "AskStateBtn", "ReadUprLoopConfigBtn",
    "WriteUprLoopConfigBtn", "ReadCfgBtn",  "WriteCfgBtn",
};
inline constexpr const char *kIdentityButtons[] = {
    "GetKeyBtn", "WriteHashBtn", "ResetHashBtn", "GetOpenKeyBtn", "SetHashTimerBtn",
};

// Time-outs of the description read, in milliseconds. Tests shorten them.
struct DescriptionTimings {
    int configPage3Ms = 5000;
    int loopRecordMs = 5000;
    int identityPauseMs = 1000; // the controller wants a rest before the identity
    int identityMs = 5000;
};

// Reads the device description ("Описание "): the configuration, all 26 loops
// (main and extended records) and the identity, as one operation on the link; then
// shows it and enables what talks to the controller.
class DescriptionReader : public QObject {
    Q_OBJECT
public:
    explicit DescriptionReader(MainWindow &window);

    void setTimings(const DescriptionTimings &timings) { m_timings = timings; }
    const DescriptionTimings &timings() const { return m_timings; }

    // Queues the read behind a running operation.
    void read();
    // Version numbers into status-bar panels 1..3; the Work page's channels by the
    // configuration's enable masks. Sends nothing.
    void showDeviceDescription();

signals:
    // The read has ended, whichever way (after the cursor was restored).
    void finished();

private:
    void readNow();
    bool readLoops();
    void updateExtendedButton();
    void enableButtons(const char *const *names, std::size_t count);
    void noReply();

    MainWindow &m_window;
    DescriptionTimings m_timings;
};

} // namespace vardex::ui

#pragma once

#include "work/description_transfer.h"

#include <QObject>

namespace vardex::link {
class DataModule;
}

namespace vardex::ui {

class Prompts;

// Buttons a description enables, as their pages name them: those of the
// configuration, loops and state come with the configuration and the loops, the
// signed-command ones with the identity. Each page enables its own.
inline constexpr const char *kDescribedWorkButtons[] = {
    "WorkDateTimeSyncBtn",   "WorkTaskBtn", "GetDateTimeBtn",
    "WorkStateBtn",          "AskStateBtn", "ReadUprLoopConfigBtn",
    "WriteUprLoopConfigBtn", "ReadCfgBtn",  "WriteCfgBtn",
};
inline constexpr const char *kIdentityButtons[] = {
    "GetKeyBtn", "WriteHashBtn", "ResetHashBtn", "GetOpenKeyBtn", "SetHashTimerBtn",
};

using DescriptionTimings = work::DescriptionTimings;

// Starts the device description read ("Описание ") as one operation on the link
// and hands what it read to the window (described), which shows it and tells the
// pages. Reaches into no page.
class DescriptionReader : public QObject {
    Q_OBJECT
public:
    DescriptionReader(link::DataModule &dm, Prompts &prompts, QObject *parent = nullptr);

    void setTimings(const DescriptionTimings &timings) { m_timings = timings; }
    const DescriptionTimings &timings() const { return m_timings; }

    // Queues the read behind a running operation.
    void read();
    // Shows the description already in the image as a finished read would
    // (version panels, channels, pages). Sends nothing.
    void showDeviceDescription();

signals:
    // What a read got (inside the operation, after the cursor was restored).
    void described(const vardex::link::DescriptionResult &result);
    // The read has ended, whichever way.
    void finished();

private:
    link::DataModule &m_dm;
    Prompts &m_prompts;
    DescriptionTimings m_timings;
};

} // namespace vardex::ui

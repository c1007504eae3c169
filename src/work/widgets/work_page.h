#pragma once

#include "kit/widgets/page_context.h"

#include <QWidget>

class QCheckBox;
class QPushButton;
class QTimer;

namespace vardex::link {
struct MonitorConfig;
}

namespace vardex::ui {

class WorkFlags;
class WorkHash;
class WorkInputs;
class WorkOutputs;
class WorkPolling;

// The Work page: live state, manual outputs, polling, description and clock
// buttons and the signed-command group.
class WorkPage : public QWidget {
    Q_OBJECT
public:
    // askTimer: the main window's AskTimer; when null the page looks it up in its
    // window by name, and without one it keeps its own.
    WorkPage(PageContext context, QWidget *parent = nullptr, QTimer *askTimer = nullptr);

    // Writes every family of the page from the image's MonitorState; sends nothing.
    void showMonitorState();
    // Enables each channel control whose bit is set in its configuration mask.
    void enableChannels(const link::MonitorConfig &config);

    QTimer &askTimer() const { return *m_askTimer; }
    QPushButton *askStateButton() const { return m_askStateBtn; }
    QPushButton *workStateButton() const { return m_workStateBtn; }
    QPushButton *workTaskButton() const;
    QPushButton *queryDeviceButton() const { return m_queryDeviceBtn; }
    QPushButton *getDateTimeButton() const { return m_getDateTimeBtn; }
    QPushButton *dateTimeSyncButton() const { return m_dateTimeSyncBtn; }
    QCheckBox *flag(int n) const;
    WorkPolling &polling() const { return *m_polling; }

private:
    PageContext m_ctx;
    QTimer *m_askTimer = nullptr;
    WorkInputs *m_inputs = nullptr;
    WorkOutputs *m_outputs = nullptr;
    WorkFlags *m_flags = nullptr;
    WorkHash *m_hash = nullptr;
    WorkPolling *m_polling = nullptr;
    QPushButton *m_askStateBtn = nullptr;
    QPushButton *m_workStateBtn = nullptr;
    QPushButton *m_queryDeviceBtn = nullptr;
    QPushButton *m_getDateTimeBtn = nullptr;
    QPushButton *m_dateTimeSyncBtn = nullptr;
};

} // namespace vardex::ui

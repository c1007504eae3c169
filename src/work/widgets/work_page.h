#pragma once

#include "kit/widgets/page.h"
#include "kit/widgets/page_context.h"

#include <QWidget>

#include <vector>

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

// The Work page: live state, manual outputs, polling (with its AskTimer), the
// description and clock buttons and the signed-command group.
class WorkPage : public QWidget, public Page {
    Q_OBJECT
public:
    explicit WorkPage(PageContext context, QWidget *parent = nullptr);

    void onConnectionChanged(bool connected) override;
    void onDescriptionRead(const link::DescriptionResult &result) override;
    void onChannelNames(const ChannelNames &names) override;
    void onClosing() override;

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

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // "Описание " was pressed: the window runs the description read.
    void descriptionRequested();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    std::vector<QWidget *> describedButtons() const;
    void readClock();
    void syncClock();

    PageContext m_ctx;
    QTimer *m_askTimer = nullptr;
    WorkInputs *m_inputs = nullptr;
    WorkOutputs *m_outputs = nullptr;
    WorkFlags *m_flags = nullptr;
    WorkHash *m_hash = nullptr;
    WorkPolling *m_polling = nullptr;
    // Holds the page's layout. A control whose size hint changes (the poll button's
    // cycle time, a bold output) relays out this body only: the page itself has no
    // layout, so the request goes no higher, where the tab widget would answer it by
    // repainting the whole page every poll.
    QWidget *m_body = nullptr;
    QPushButton *m_askStateBtn = nullptr;
    QPushButton *m_workStateBtn = nullptr;
    QPushButton *m_queryDeviceBtn = nullptr;
    QPushButton *m_getDateTimeBtn = nullptr;
    QPushButton *m_dateTimeSyncBtn = nullptr;
    QString m_ageText; // the last state-age text put on the hint line
};

} // namespace vardex::ui

#pragma once

#include "kit/widgets/page.h"
#include "kit/widgets/page_context.h"
#include "service/echo.h"
#include "service/watchdog.h"

#include <QWidget>

#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QSpinBox;
class QLineEdit;
class QTimer;

namespace vardex::service {

class PingTimerAdapter;

// "LAN_сторож": the ping watchdog with its decision log, and the black box in the group
// "Отладочная информация". The page owns the timer "PingTimer" and the echo.
class WatchDogPage final : public QWidget, public ui::Page, public WatchdogView {
    Q_OBJECT
public:
    // echo: the ICMP echo (the platform's in the programs, a script in tests); without
    // one every ping reports that echo is unavailable.
    WatchDogPage(ui::PageContext &ctx, std::unique_ptr<Echo> echo, QWidget *parent = nullptr);
    ~WatchDogPage() override;

    void setEcho(std::unique_ptr<Echo> echo);

    // Types host, chooses the output (an item of the output list) and ticks "Циклический
    // опрос", as the operator would.
    void startWatching(const QString &host, int output);

    Watchdog &watchdog() { return *m_watchdog; }
    QTimer *pingTimer() const { return m_timer; }

    // ui::Page
    void onConnectionChanged(bool connected) override;
    void onDescriptionRead(const link::DescriptionResult &result) override;
    void onClosing() override;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // WatchdogView
    WatchdogInputs inputs() const override;
    void showReply(const QString &text) override;
    void showStatusWord(const QString &word) override;
    void showFacilityError(const QString &text) override;
    void setManualPingEnabled(bool enabled) override;
    void logChanged() override;
    void policyChanged() override;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QWidget *buildWatchdogGroup();
    QWidget *buildBlackBoxGroup();
    QWidget *buildLogGroup();
    void readBlackBox();
    // A newer controller takes the current one's place: the output the watchdog holds on
    // is switched off on the current one first, or the engineer is told it may be on.
    void releaseOnReplacement();
    // Hint line and message: output index of the controller serial may still be on.
    void tellMayBeOn(int index, const QString &serial, const QString &why);
    void saveLog();
    // The watchdog's settings in one line, for the saved log.
    QString settingsText() const;

    ui::PageContext &m_ctx;
    // Holds the page's controls. The page has no layout of its own, so a field whose size
    // hint changes re-lays out this body only, never the tab and the window around it.
    QWidget *m_body = nullptr;
    std::unique_ptr<Echo> m_echo;
    std::unique_ptr<Echo> m_echoSwitch; // the watchdog's view of m_echo
    QTimer *m_timer = nullptr;
    std::unique_ptr<PingTimerAdapter> m_timerAdapter;
    std::unique_ptr<Watchdog> m_watchdog;

    QLineEdit *m_host = nullptr;
    QLineEdit *m_host2 = nullptr;
    QSpinBox *m_pingTime = nullptr;
    QPushButton *m_sendPing = nullptr;
    QLabel *m_answer = nullptr;
    QSpinBox *m_askTime = nullptr;
    QCheckBox *m_start = nullptr;
    QComboBox *m_output = nullptr;
    QSpinBox *m_uprTime = nullptr;
    QSpinBox *m_misses = nullptr;
    QSpinBox *m_holdOff = nullptr;
    QSpinBox *m_armAfter = nullptr;
    QSpinBox *m_maxPulses = nullptr;
    QSpinBox *m_per = nullptr;
    QSpinBox *m_backoff = nullptr;
    QLabel *m_state = nullptr;
    QPushButton *m_rearm = nullptr;
    QLabel *m_errorLabel = nullptr;
    QLabel *m_facilityError = nullptr;
    QListWidget *m_log = nullptr;
    QPushButton *m_readBlackBox = nullptr;
    qint64 m_logShown = 0; // decision-log lines ever shown
    bool m_connected = false;
    QString m_serial; // the current controller's, once its description was read
    // The controller an owed switch-off belongs to, when its serial was known: the
    // switch-off goes only to a controller that reads back this serial.
    QString m_owedSerial;
    bool m_closing = false;
};

} // namespace vardex::service

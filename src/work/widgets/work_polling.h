#pragma once

#include "work/state_reading.h"

#include <QDateTime>
#include <QObject>

#include <functional>
#include <span>

class QPushButton;
class QTimer;

namespace vardex::link {
class DataModule;
class OperationContext;
} // namespace vardex::link

namespace vardex::ui {

// Reading the live state: once with "Состояние", cyclically with the latching
// "Выкл"/"Вкл" switch and the main window's AskTimer. Each read or cycle is one
// operation on the link. A tick that finds the link held by a long sequence runs at its
// next step; one that finds it held otherwise is skipped. Either way the page says how
// old the state it shows is (stateAge), so frozen values never look live.
class WorkPolling : public QObject {
    Q_OBJECT
public:
    // show: writes the page from the state.
    WorkPolling(link::DataModule &dm, QTimer &askTimer, QPushButton &askButton,
                QPushButton &stateButton, std::function<void()> show, QObject *parent = nullptr);

    bool isPolling() const;

signals:
    // A polling cycle ended (answered or not); after its timer decision.
    void cycleEnded(bool answered, qint64 elapsedMs, bool timerRestarted);
    // A tick could not run when due: the text says how old the shown state is. An
    // empty text: a cycle has read the state again.
    void stateAge(const QString &text);

private:
    void onAskClicked();
    void onTick();
    void readOnce();
    void cycle(link::OperationContext &ctx);

    link::DataModule &m_dm;
    QTimer &m_timer;
    QPushButton &m_ask;
    std::function<void()> m_show;
    QDateTime m_lastState; // when a read last brought the state (invalid: never)
    bool m_ageShown = false;
};

} // namespace vardex::ui

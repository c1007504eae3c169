#pragma once

#include <QObject>

namespace vardex::ui {

class MainWindow;

// The controller clock: read into status-bar panel 4 ("Часы", also the hidden
// clock button of the HASH group) and set from the computer's clock ("Синхр.").
class ClockControl : public QObject {
    Q_OBJECT
public:
    static constexpr int kReadTimeoutMs = 2000;

    explicit ClockControl(MainWindow &window);

    // Without a reply nothing happens; bytes that form no date or time are reported
    // and panel 4 keeps its text.
    void readClock();
    // Local date and time, milliseconds dropped; no reply is awaited.
    void syncClock();

private:
    MainWindow &m_window;
};

} // namespace vardex::ui

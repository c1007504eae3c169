#pragma once

#include <QGroupBox>

class QPushButton;

namespace vardex::link {
class DataModule;
}

namespace vardex::ui {

// "HASH": the controller's keys and the signed command. Each button is one
// operation on the link; the hints show the buffers after the wait.
class WorkHash : public QGroupBox {
    Q_OBJECT
public:
    explicit WorkHash(link::DataModule &dm, QWidget *parent = nullptr);

    // The hidden clock button of the group (the page reads the clock with it).
    QPushButton *clockButton() const { return m_clock; }
    // The buttons the identity of a description enables (the clock one with them).
    void enableButtons(bool enabled);

private:
    void getKey();
    void getOpenKey();
    void writeHash();
    void resetHash();

    link::DataModule &m_dm;
    QPushButton *m_getKey;
    QPushButton *m_getOpenKey;
    QPushButton *m_writeHash;
    QPushButton *m_reset;
    QPushButton *m_clock;
};

} // namespace vardex::ui

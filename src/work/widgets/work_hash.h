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
    static constexpr int kKeyWaitMs = 15000;

    explicit WorkHash(link::DataModule &dm, QWidget *parent = nullptr);

private:
    void getKey();
    void getOpenKey();
    void writeHash();
    void resetHash();

    link::DataModule &m_dm;
    QPushButton *m_getKey;
    QPushButton *m_getOpenKey;
    QPushButton *m_writeHash;
};

} // namespace vardex::ui

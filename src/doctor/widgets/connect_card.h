#pragma once

#include "doctor/guidance.h"

#include <QFrame>

class QLabel;
class QPushButton;

namespace vardex::doctor {

// The card in the middle of the Work page while no controller is in use: what the
// window waits for, or why the controller found could not be opened, and the way to
// "Диагностика подключения". It keeps itself centred over the widget it covers.
class ConnectCard : public QFrame {
    Q_OBJECT
public:
    explicit ConnectCard(QWidget *over);

    void showGuidance(const Guidance &guidance);
    QString title() const;
    QString detail() const;
    QPushButton *doctorButton() const { return m_doctor; }
    QPushButton *borrowButton() const { return m_borrow; }

signals:
    void doctorRequested();
    void borrowRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void place();

    QLabel *m_title;
    QLabel *m_detail;
    QPushButton *m_doctor;
    QPushButton *m_borrow;
    QString m_detailText;
};

} // namespace vardex::doctor

#pragma once

#include "doctor/async_probe.h"
#include "doctor/diagnosis.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTextBrowser;

namespace vardex::doctor {

// "Диагностика подключения": what was checked, each with "ok" or what to do. The
// probe runs on a worker thread; the window says "Проверка…" meanwhile.
class DoctorWindow : public QDialog {
    Q_OBJECT
public:
    explicit DoctorWindow(SystemProbe probe, QWidget *parent = nullptr);

    // Probes again and shows the result when it comes.
    void refresh();
    bool isProbing() const { return m_async.isRunning(); }
    const Diagnosis &diagnosis() const { return m_diagnosis; }
    // The checks as shown (HTML), one row each with "ok" or "нет" and what to do.
    static QString checksHtml(const Diagnosis &diagnosis);

signals:
    void diagnosed();

private:
    void showResult(const SystemState &state);

    AsyncProbe m_async;
    Diagnosis m_diagnosis;
    QTextBrowser *m_checks;
    QLabel *m_summary;
    QPushButton *m_again;
};

} // namespace vardex::doctor

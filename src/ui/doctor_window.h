#pragma once

#include "link/connection_doctor.h"

#include <QDialog>

#include <functional>

class QLabel;
class QTextBrowser;

namespace vardex::ui {

using SystemProbe = std::function<link::doctor::SystemState()>;

// "Диагностика подключения": what was checked, each with "ok" or what to do.
class DoctorWindow : public QDialog {
    Q_OBJECT
public:
    DoctorWindow(SystemProbe probe, QWidget *parent = nullptr);

    // Probes again and shows the result.
    void refresh();
    const link::doctor::Diagnosis &diagnosis() const { return m_diagnosis; }
    // The checks as shown (HTML), one row each with "ok" or "нет" and what to do.
    static QString checksHtml(const link::doctor::Diagnosis &diagnosis);

private:
    SystemProbe m_probe;
    link::doctor::Diagnosis m_diagnosis;
    QTextBrowser *m_checks;
    QLabel *m_summary;
};

} // namespace vardex::ui

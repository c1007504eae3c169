#pragma once

#include "ui/doctor_window.h"

#include <QObject>

namespace vardex::link {
class DataModule;
}

namespace vardex::ui {

class Prompts;
class StatusBar;

// A controller present but not openable: says why in the status bar each time, and
// the first time in a message with the remedy.
class AccessWatch : public QObject {
    Q_OBJECT
public:
    AccessWatch(link::DataModule &dm, Prompts &prompts, StatusBar &statusBar,
                QObject *parent = nullptr);
    void setProbe(SystemProbe probe) { m_probe = std::move(probe); }
    const SystemProbe &probe() const { return m_probe; }

    void onOpenFailed(const QString &error);

private:
    Prompts &m_prompts;
    StatusBar &m_statusBar;
    SystemProbe m_probe;
    bool m_told = false;
};

} // namespace vardex::ui

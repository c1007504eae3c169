#pragma once

#include <QObject>
#include <QStringList>

struct udev;
struct udev_monitor;
class QSocketNotifier;

namespace vardex::link {

// Hot-plug notices for one device subsystem from the udev daemon's netlink
// broadcast (sent after its rules ran, so permissions are already in place).
// Events are read from the event loop through a socket notifier; each wake-up
// becomes one changed() notice for the whole batch.
class UdevMonitor : public QObject {
    Q_OBJECT
public:
    explicit UdevMonitor(QObject *parent = nullptr);
    ~UdevMonitor() override;

    // False when there is no udev to listen to (containers, minimal systems); that is
    // logged once per process and the caller goes on without hot-plug.
    bool start(const char *subsystem);
    bool isActive() const { return m_monitor != nullptr; }

signals:
    // Something was added, removed or changed; removedNodes names the device nodes
    // (e.g. /dev/hidraw3) reported removed in this batch.
    void changed(const QStringList &removedNodes);

private:
    void onReadable();
    void stop();

    struct udev *m_udev = nullptr;
    struct udev_monitor *m_monitor = nullptr;
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace vardex::link

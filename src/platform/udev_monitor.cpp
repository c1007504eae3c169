#include "platform/udev_monitor.h"

#include <QFile>
#include <QLoggingCategory>
#include <QSocketNotifier>

#include <libudev.h>

#include <cstring>

namespace vardex::link {

namespace {

Q_LOGGING_CATEGORY(lcHotplug, "vardex.link.hotplug")

// A burst larger than this is finished on the notifier's next wake-up, so one
// flood of events cannot hold the GUI thread.
constexpr int kMaxEventsPerWake = 64;

void logUnavailableOnce(const char *why)
{
    static bool logged = false;
    if (logged)
        return;
    logged = true;
    qCInfo(lcHotplug, "udev monitor unavailable (%s); devices are found at start-up only", why);
}

} // namespace

UdevMonitor::UdevMonitor(QObject *parent) : QObject(parent) {}

UdevMonitor::~UdevMonitor()
{
    stop();
}

bool UdevMonitor::start(const char *subsystem)
{
    if (m_monitor)
        return true;
    m_udev = udev_new();
    if (!m_udev) {
        logUnavailableOnce("no udev context");
        return false;
    }
    m_monitor = udev_monitor_new_from_netlink(m_udev, "udev");
    if (!m_monitor) {
        logUnavailableOnce("cannot open the netlink socket");
        stop();
        return false;
    }
    if (udev_monitor_filter_add_match_subsystem_devtype(m_monitor, subsystem, nullptr) < 0 ||
        udev_monitor_enable_receiving(m_monitor) < 0) {
        logUnavailableOnce("cannot subscribe to events");
        stop();
        return false;
    }
    const int fd = udev_monitor_get_fd(m_monitor);
    if (fd < 0) {
        logUnavailableOnce("no monitor socket");
        stop();
        return false;
    }
    m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &UdevMonitor::onReadable);
    return true;
}

void UdevMonitor::stop()
{
    delete m_notifier;
    m_notifier = nullptr;
    if (m_monitor)
        udev_monitor_unref(m_monitor);
    m_monitor = nullptr;
    if (m_udev)
        udev_unref(m_udev);
    m_udev = nullptr;
}

void UdevMonitor::onReadable()
{
    QStringList removed;
    int events = 0;
    // The monitor socket is non-blocking: receive returns null once drained.
    while (events < kMaxEventsPerWake) {
        udev_device *dev = udev_monitor_receive_device(m_monitor);
        if (!dev)
            break;
        ++events;
        const char *action = udev_device_get_action(dev);
        const char *node = udev_device_get_devnode(dev);
        if (action && node && std::strcmp(action, "remove") == 0)
            removed.append(QFile::decodeName(node));
        udev_device_unref(dev);
    }
    if (events > 0)
        emit changed(removed);
}

} // namespace vardex::link

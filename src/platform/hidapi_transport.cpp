#include "platform/hidapi_transport.h"

#include "link/device_list_diff.h"
#include "platform/udev_monitor.h"

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMetaObject>

#include <hidapi/hidapi.h>
#include <linux/hidraw.h>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cwchar>
#include <mutex>
#include <system_error>
#include <thread>

namespace vardex::link {

namespace {

Q_LOGGING_CATEGORY(lcHid, "vardex.link.hid")

constexpr int kReadTimeoutMs = 100;
// After a read error: long enough that a dead node does not spin a core, short
// enough that the removal notice still finds the reader responsive.
constexpr auto kErrorBackoff = std::chrono::milliseconds(100);
constexpr auto kBackoffStep = std::chrono::milliseconds(10);

// hid_init/hid_exit are process-wide; every transport holds one reference.
std::mutex g_hidapiMutex;
int g_hidapiUsers = 0;

void acquireHidapi()
{
    std::lock_guard lock(g_hidapiMutex);
    if (g_hidapiUsers++ == 0 && hid_init() != 0)
        qCWarning(lcHid) << "hid_init failed:" << QString::fromWCharArray(hid_error(nullptr));
}

void releaseHidapi()
{
    std::lock_guard lock(g_hidapiMutex);
    if (--g_hidapiUsers == 0)
        hid_exit();
}

// Thread-safe (strerror_r underneath), so reader threads may use it.
QString systemErrorText(int err)
{
    return QString::fromStdString(std::generic_category().message(err));
}

QString hidapiText(const wchar_t *text)
{
    return text ? productFromWide(text) : QString();
}

} // namespace

bool hidapiUsable()
{
    // hid_init replaces the library's global state (its error text among it) that
    // hid_enumerate and hid_open_path use on the window's thread: never beside them.
    std::lock_guard lock(g_hidapiMutex);
    if (g_hidapiUsers > 0)
        return true; // a transport has it initialised
    const bool ok = hid_init() == 0;
    if (ok)
        hid_exit();
    return ok;
}

QString productFromWide(const wchar_t *text)
{
    if (!text)
        return {};
    const std::size_t n = wcsnlen(text, kMaxProductChars);
    return QString::fromWCharArray(text, static_cast<qsizetype>(n));
}

std::size_t outputWriteLength(int outputReportLength)
{
    if (outputReportLength >= 2 && outputReportLength <= static_cast<int>(kOutputReportSize))
        return static_cast<std::size_t>(outputReportLength);
    return kOutputReportSize;
}

Payload payloadFromInputReport(std::span<const std::uint8_t> report)
{
    Payload p{};
    std::copy_n(report.begin(), std::min(report.size(), p.size()), p.begin());
    return p;
}

QString sysfsReportDescriptorPath(const QString &node)
{
    const QString name = node.section(QLatin1Char('/'), -1);
    if (!name.startsWith(QLatin1String("hidraw")))
        return {};
    return QStringLiteral("/sys/class/hidraw/%1/device/report_descriptor").arg(name);
}

namespace {

ReportLengths lengthsFrom(std::span<const std::uint8_t> desc, const QByteArray &node)
{
    const ParsedDescriptor parsed = parseReportDescriptor(desc);
    if (!parsed.ok())
        qCWarning(lcHid, "%s: report descriptor at byte %zu: %s", node.constData(),
                  parsed.errorOffset, descriptorErrorText(parsed.error));
    return parsed.lengths;
}

// Where a hidraw node's USB interface sits on the bus ("usb1/1-2/1-2:1.0"), which stays
// the same across a re-plug into the same port; the node itself when sysfs does not say.
QString usbPlaceOf(const QString &node)
{
    const QString name = node.section(QLatin1Char('/'), -1);
    const QString device =
        QFileInfo(QStringLiteral("/sys/class/hidraw/%1/device").arg(name)).canonicalFilePath();
    if (device.isEmpty())
        return node;
    const QString parent = device.section(QLatin1Char('/'), 0, -2);
    const int usb = parent.indexOf(QLatin1String("/usb"));
    return usb < 0 ? parent : parent.mid(usb + 1);
}
} // namespace

ReportLengths readHidrawReportLengths(const QString &path)
{
    // The kernel publishes the descriptor in sysfs: reading it there leaves every
    // device node that is not ours unopened.
    if (const QString sysfs = sysfsReportDescriptorPath(path); !sysfs.isEmpty()) {
        QFile f(sysfs);
        if (f.open(QIODevice::ReadOnly)) {
            const QByteArray bytes = f.read(HID_MAX_DESCRIPTOR_SIZE);
            return lengthsFrom({reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                                static_cast<std::size_t>(bytes.size())},
                               QFile::encodeName(path));
        }
    }
    // Without sysfs: the node itself, read-only, for the one ioctl.
    const QByteArray node = QFile::encodeName(path);
    const int fd = ::open(node.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    ReportLengths lengths;
    int size = 0;
    auto desc = std::make_unique<hidraw_report_descriptor>();
    if (::ioctl(fd, HIDIOCGRDESCSIZE, &size) == 0 && size > 0 && size <= HID_MAX_DESCRIPTOR_SIZE) {
        desc->size = static_cast<__u32>(size);
        if (::ioctl(fd, HIDIOCGRDESC, desc.get()) == 0) {
            const std::size_t n = std::min<std::size_t>(desc->size, HID_MAX_DESCRIPTOR_SIZE);
            lengths = lengthsFrom({desc->value, n}, node);
        }
    }
    ::close(fd);
    return lengths;
}

bool ReadFailureRun::isGoneError(int err)
{
    return err == ENODEV || err == ENXIO || err == ESHUTDOWN;
}

// ---- the transport --------------------------------------------------------------------------

struct HidapiTransport::OpenDevice {
    QString id;
    hid_device *writer = nullptr; // used on the owning thread only
    hid_device *reader = nullptr; // used by the reader thread only
    std::size_t writeLength = kOutputReportSize;
    std::atomic<bool> stop{false};
    std::thread thread;
};

HidapiTransport::HidapiTransport(QObject *parent) : Transport(parent)
{
    acquireHidapi();
    m_monitor = new UdevMonitor(this);
    connect(m_monitor, &UdevMonitor::changed, this,
            [this](const QStringList &removed) { rescan(removed); });
}

HidapiTransport::~HidapiTransport()
{
    while (!m_open.empty())
        close(m_open.begin()->first);
    releaseHidapi();
}

void HidapiTransport::start()
{
    if (m_started)
        return;
    m_started = true;
    // The monitor first, so nothing plugged in during the first enumeration is missed.
    m_monitor->start("hidraw");
    QMetaObject::invokeMethod(
        this, [this] { rescan(); }, Qt::QueuedConnection);
}

QList<HidDeviceInfo> HidapiTransport::enumerateDevices()
{
    QList<HidDeviceInfo> out;
    std::lock_guard lock(g_hidapiMutex);
    hid_device_info *all = hid_enumerate(0, 0);
    for (const hid_device_info *d = all; d; d = d->next) {
        if (!d->path)
            continue;
        HidDeviceInfo info;
        info.id = QFile::decodeName(d->path);
        info.product = productFromWide(d->product_string);
        const QString serial = productFromWide(d->serial_number);
        info.ownerKey = serial.trimmed().isEmpty() ? ownerKeyForPath(usbPlaceOf(info.id))
                                                   : ownerKeyForSerial(serial);
        out.append(info);
    }
    hid_free_enumeration(all);
    return out;
}

ReportLengths HidapiTransport::readReportLengths(const QString &id)
{
    return readHidrawReportLengths(id);
}

void HidapiTransport::rescan(const QStringList &removedNodes)
{
    for (const QString &node : removedNodes)
        m_goneSince.insert(node);
    // A handler of our own notices may run the event loop and get here again; the
    // nested change is announced after the current batch, so notices never cross.
    if (m_rescanning) {
        m_rescanAgain = true;
        return;
    }
    m_rescanning = true;
    do {
        m_rescanAgain = false;
        const QSet<QString> gone = std::exchange(m_goneSince, {});
        QList<HidDeviceInfo> current = uniqueById(enumerateDevices());
        for (HidDeviceInfo &d : current) {
            const auto known = std::find_if(m_devices.cbegin(), m_devices.cend(),
                                            [&](const HidDeviceInfo &k) { return k.id == d.id; });
            if (known != m_devices.cend() && !gone.contains(d.id) && known->product == d.product) {
                d.inputReportLength = known->inputReportLength;
                d.outputReportLength = known->outputReportLength;
                d.featureReportLength = known->featureReportLength;
            } else {
                const ReportLengths lengths = readReportLengths(d.id);
                d.inputReportLength = lengths.input;
                d.outputReportLength = lengths.output;
                d.featureReportLength = lengths.feature;
            }
        }
        const DeviceListChange change = diffDeviceLists(m_devices, current, gone);
        m_devices = current;
        for (const QString &id : change.removed) {
            emit deviceRemoved(id);
            close(id); // the node is gone; a handle still open is dead
        }
        for (const HidDeviceInfo &info : change.arrived)
            emit deviceArrived(info);
    } while (m_rescanAgain);
    m_rescanning = false;
}

bool HidapiTransport::openDevice(const QString &id, QString *error)
{
    if (m_open.count(id))
        return true;
    const QByteArray path = QFile::encodeName(id);
    auto fail = [&](int err) {
        QString text = hidapiText(hid_error(nullptr));
        if (text.isEmpty())
            text = systemErrorText(err);
        if (error)
            *error = text;
        return false;
    };

    auto dev = std::make_unique<OpenDevice>();
    dev->id = id;
    {
        // hid_open_path and hid_error(nullptr) share the library's global state.
        std::lock_guard lock(g_hidapiMutex);
        errno = 0;
        dev->writer = hid_open_path(path.constData());
        if (!dev->writer)
            return fail(errno);
        errno = 0;
        dev->reader = hid_open_path(path.constData());
        if (!dev->reader) {
            const int err = errno;
            hid_close(dev->writer);
            return fail(err);
        }
    }
    for (const HidDeviceInfo &d : std::as_const(m_devices)) {
        if (d.id == id)
            dev->writeLength = outputWriteLength(d.outputReportLength);
    }
    OpenDevice *raw = dev.get();
    dev->thread = std::thread([this, raw] { readerLoop(raw); });
    m_open.emplace(id, std::move(dev));
    return true;
}

void HidapiTransport::closeDevice(const QString &id)
{
    auto node = m_open.extract(id);
    if (node.empty())
        return;
    OpenDevice &dev = *node.mapped();
    // The reader must be out of hid_read_timeout before its handle is freed.
    dev.stop.store(true, std::memory_order_release);
    if (dev.thread.joinable())
        dev.thread.join();
    hid_close(dev.reader);
    hid_close(dev.writer);
    discardPending(id);
}

bool HidapiTransport::write(const QString &id,
                            const std::array<std::uint8_t, kOutputReportSize> &report,
                            QString *errorText, quint32 *errorCode)
{
    int err = ENODEV;
    QString text;
    if (const auto it = m_open.find(id); it != m_open.end()) {
        OpenDevice &dev = *it->second;
        errno = 0;
        const int written = hid_write(dev.writer, report.data(), dev.writeLength);
        if (written == static_cast<int>(dev.writeLength))
            return true;
        err = errno;
        if (written < 0 && err == 0)
            text = hidapiText(hid_error(dev.writer));
        if (err == 0)
            err = EIO; // a short write, or hidapi failed without a system error
    }
    if (text.isEmpty())
        text = systemErrorText(err);
    if (errorText)
        *errorText = text;
    if (errorCode)
        *errorCode = static_cast<quint32>(err);
    return false;
}

void HidapiTransport::readerLostDevice(const QString &id)
{
    if (m_open.count(id) == 0)
        return; // closed meanwhile, or the monitor was first
    rescan({id});
    // Still listed (a stale enumeration): the handle is dead all the same.
    if (m_open.count(id) != 0) {
        m_devices.removeIf([&](const HidDeviceInfo &d) { return d.id == id; });
        emit deviceRemoved(id);
        close(id);
    }
}

void HidapiTransport::readerLoop(OpenDevice *dev)
{
    const QString id = dev->id;
    std::array<std::uint8_t, kPayloadSize> buf{};
    ReadFailureRun failures;
    while (!dev->stop.load(std::memory_order_acquire)) {
        errno = 0;
        const int n = hid_read_timeout(dev->reader, buf.data(), buf.size(), kReadTimeoutMs);
        if (n > 0) {
            failures.succeeded();
            queueReport(id, payloadFromInputReport({buf.data(), static_cast<std::size_t>(n)}));
            continue;
        }
        if (n == 0 || errno == EINTR)
            continue;
        // hidapi reports a hang-up (device unplugged) without setting errno.
        const int err = errno != 0 ? errno : ENODEV;
        queueReadError(id, systemErrorText(err), static_cast<quint32>(err));
        if (failures.failed(err)) {
            // Closing joins this thread, so the owning thread does it.
            QMetaObject::invokeMethod(
                this, [this, id] { readerLostDevice(id); }, Qt::QueuedConnection);
        }
        for (auto slept = std::chrono::milliseconds(0);
             slept < kErrorBackoff && !dev->stop.load(std::memory_order_acquire);
             slept += kBackoffStep)
            std::this_thread::sleep_for(kBackoffStep);
    }
}

} // namespace vardex::link

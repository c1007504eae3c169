#pragma once

#include "link/report_descriptor.h"
#include "link/transport.h"

#include <QSet>
#include <QStringList>

#include <cstddef>
#include <map>
#include <memory>
#include <span>

namespace vardex::link {

class UdevMonitor;

// Whether the HID library initialises, asked under the lock every transport's library
// calls hold (the connection doctor asks from its worker thread).
bool hidapiUsable();

// The product string as the OS's HID layer hands it over: the USB string
// descriptor is at most 126 UTF-16 units, the OS buffer holds 254 characters;
// anything longer is cut there. Code points that are not Unicode become U+FFFD.
inline constexpr std::size_t kMaxProductChars = 254;
QString productFromWide(const wchar_t *text);

// Bytes to write for one report: the device's output-report length (report ID
// included) when it is 2..65, else the whole 65-byte report buffer. Longer output
// reports are not supported; they get the 65 bytes the buffer holds.
std::size_t outputWriteLength(int outputReportLength);

// An input report as read (without ID byte when the device numbers no reports):
// shorter ones are zero-padded, longer ones cut to the 64-byte payload.
Payload payloadFromInputReport(std::span<const std::uint8_t> report);

// Report lengths of a hidraw node from its report descriptor, read from sysfs
// (/sys/class/hidraw/<node>/device/report_descriptor) so that no other device's node is
// opened; only where sysfs lacks it is the node opened read-only for HIDIOCGRDESC. All
// zero when the descriptor cannot be read.
ReportLengths readHidrawReportLengths(const QString &path);
// Where sysfs publishes a hidraw node's report descriptor; empty for other paths.
QString sysfsReportDescriptorPath(const QString &node);

// Tells from a reader's failed reads when its device is gone. Without a udev monitor
// (containers, systems without udev) nobody else says so, and the reader would report
// an error every backoff period for ever. A run of "no such device" errors is a
// removal; any other error or a successful read starts the count again.
class ReadFailureRun {
public:
    static constexpr int kGoneAfter = 3;
    // True once, when this failure completes the run.
    bool failed(int err)
    {
        m_run = isGoneError(err) ? m_run + 1 : 0;
        return m_run == kGoneAfter;
    }
    void succeeded() { m_run = 0; }
    static bool isGoneError(int err);

private:
    int m_run = 0;
};

// Real HID devices through hidapi's hidraw backend, hot-plug through udev.
//
// Each opened device has two handles, one written from the owning thread and one
// read by the device's reader thread, so the threads never share hidapi state.
class HidapiTransport : public Transport {
    Q_OBJECT
public:
    explicit HidapiTransport(QObject *parent = nullptr);
    ~HidapiTransport() override;

    void start() override;
    QList<HidDeviceInfo> devices() const override { return m_devices; }
    bool write(const QString &id, const std::array<std::uint8_t, kOutputReportSize> &report,
               QString *errorText, quint32 *errorCode) override;

    // Re-enumerates and announces the differences: removals first, then arrivals.
    // removedNodes are ids the OS reported gone since the last enumeration.
    void rescan(const QStringList &removedNodes = {});

protected:
    bool openDevice(const QString &id, QString *error) override;
    void closeDevice(const QString &id) override;
    // A reader found its device gone (see ReadFailureRun): announced like a removal
    // the OS reported. Runs on the owning thread.
    void readerLostDevice(const QString &id);
    // The present devices with id and product only (lengths are filled by rescan).
    virtual QList<HidDeviceInfo> enumerateDevices();
    virtual ReportLengths readReportLengths(const QString &id);

private:
    struct OpenDevice;
    void readerLoop(OpenDevice *dev);

    UdevMonitor *m_monitor = nullptr;
    QList<HidDeviceInfo> m_devices;
    QSet<QString> m_goneSince;
    std::map<QString, std::unique_ptr<OpenDevice>> m_open;
    bool m_started = false;
    bool m_rescanning = false;
    bool m_rescanAgain = false;
};

} // namespace vardex::link

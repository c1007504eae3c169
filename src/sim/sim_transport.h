#pragma once

#include "link/transport.h"
#include "sim/firmware.h"

#include <QHash>
#include <QString>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace vardex::sim {

// A fault scripted for the next request that matches it (then it is spent).
struct Fault {
    enum class Kind {
        Drop,        // no reply at all
        Delay,       // the reply comes delayMs later than usual
        ErrorReply,  // the controller answers 0xFF "ERR" instead
        Duplicate,   // every reply is sent twice
        Late,        // the replies are held back until the next request has arrived
        Unplug,      // the device goes away while the request is in flight
        CorruptLoop, // handled normally, then the stored copy of loop Sub is damaged
        Notice,      // a controller notice (Code 10, 34 or 35, random Sub and bytes) comes
                     // just before the reply, and between the reports of a two-report one
    };
    Kind kind = Kind::Drop;
    int code = -1;   // -1: any request
    int sub = -1;    // -1: any sub-code
    int delayMs = 0; // Delay: how late; Notice: the start of its random choices

    bool matches(const Payload &request) const
    {
        return (code < 0 || request[link::pos::Code] == code) &&
               (sub < 0 || request[link::pos::Sub] == sub);
    }
};

struct SimDeviceOptions {
    QString id; // empty: "sim:<n>"
    QString product = QStringLiteral("Quellbox");
    int inputReportLength = 65;
    int outputReportLength = 65;
    int featureReportLength = 65; // 0: the device declares no feature report
    // Non-empty: the device is listed but cannot be opened (held by another program,
    // no access); open() fails with this text.
    QString openError;
    int latencyMs = 1;
    // Move the firmware's time along with the wall clock before each request.
    bool realTime = true;
    Firmware firmware;
};

// Hosts simulated controllers behind the Transport interface. Each open device has
// a reader thread that takes requests from its queue in order, waits the latency,
// asks the firmware and hands the replies over like a HID reader would.
// Public functions run on the owning (GUI) thread; plug() and unplug() may be
// called from any thread and take effect there.
class SimTransport : public link::Transport {
    Q_OBJECT
public:
    explicit SimTransport(QObject *parent = nullptr);
    ~SimTransport() override;

    // Adds a device, not yet plugged. Returns its id.
    QString addDevice(SimDeviceOptions options);
    void plug(const QString &id);
    void unplug(const QString &id);
    bool isPlugged(const QString &id) const;

    // Runs fn on the device's firmware under its lock (reader threads use it too).
    void withFirmware(const QString &id, const std::function<void(Firmware &)> &fn);
    void setLatency(const QString &id, int ms);
    void addFault(const QString &id, const Fault &fault);
    // Every request the device has received, in order.
    std::vector<Payload> receivedRequests(const QString &id) const;
    void clearReceivedRequests(const QString &id);
    // Sends a report the firmware would not send by itself (e.g. an unrequested
    // code-10 notice). Only while the device is open.
    void injectReport(const QString &id, const Payload &payload);

    // link::Transport
    void start() override;
    QList<link::HidDeviceInfo> devices() const override;
    bool write(const QString &id, const std::array<std::uint8_t, link::kOutputReportSize> &report,
               QString *errorText, quint32 *errorCode) override;

protected:
    bool openDevice(const QString &id, QString *error) override;
    void closeDevice(const QString &id) override;

private:
    struct Device;
    Device *find(const QString &id) const;
    void readerLoop(Device *device);

    std::vector<std::unique_ptr<Device>> m_devices;
    bool m_started = false;
    int m_nextId = 1;
};

} // namespace vardex::sim

#pragma once

#include "link/owner.h"
#include "link/report.h"

#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>

#include <QHash>

#include <deque>
#include <memory>
#include <variant>

namespace vardex::link {

// A present HID device as the link needs to know it.
struct HidDeviceInfo {
    QString id;      // stable for as long as the device is plugged in (e.g. the hidraw path)
    QString product; // USB product string
    int inputReportLength = 0; // bytes including the report ID, as the OS reports them
    int outputReportLength = 0;
    int featureReportLength = 0;
    // Names the controller's owner lock (link/owner.h); known before it is opened.
    QString ownerKey;
};

// Where HID devices come from: the real hidraw devices or the simulated controller.
//
// Threading contract: every public function and every signal runs on the thread
// that owns the transport (the GUI thread). Implementations read input reports on
// their own threads and hand them over with queueReport()/queueReadError(); the
// hand-over is delivered on the owning thread in arrival order, either from the
// event loop or synchronously by deliverPending().
class Transport : public QObject {
    Q_OBJECT
public:
    explicit Transport(QObject *parent = nullptr);
    ~Transport() override;

    // Begin watching for devices. The first enumeration runs from the event loop
    // right after this returns, so a device already present is announced exactly
    // like one plugged in later.
    virtual void start() = 0;
    virtual QList<HidDeviceInfo> devices() const = 0;

    // Takes the device's owner lock when a gate is installed, then claims the device and
    // starts its reader. False if another program holds it (heldElsewhere() says who) or it
    // cannot be opened. Nothing can be written to a device that was not opened, so nothing
    // reaches a controller another program owns.
    bool open(const QString &id, QString *error);
    // Stops and joins the device's reader, releases it, then its owner lock. No-op for
    // unknown ids.
    void close(const QString &id);

    // Every open() asks the gate first; without one, devices are opened unguarded (tests).
    void setOwnerGate(std::shared_ptr<OwnerGate> gate) { m_gate = std::move(gate); }
    OwnerGate *ownerGate() const { return m_gate.get(); }
    std::shared_ptr<OwnerGate> sharedOwnerGate() const { return m_gate; }
    // The owner-lock key of a listed device (its path's when the device names none).
    QString ownerKeyOf(const QString &id) const;

    // Lets an open device go as if it had been removed (it is lent to another program):
    // listeners hear deviceRemoved first, then the device and its lock are released.
    void withdraw(const QString &id);
    // Announces a listed device again, so the link tries to take it (after a loan).
    void announce(const QString &id);
    // Write one output report (report ID + payload). On failure fills the system's
    // error text and code.
    virtual bool write(const QString &id, const std::array<std::uint8_t, kOutputReportSize> &report,
                       QString *errorText, quint32 *errorCode) = 0;

    // Runs the hand-over of every report and read error queued so far, in order,
    // on the calling (owning) thread.
    void deliverPending();

signals:
    void deviceArrived(const vardex::link::HidDeviceInfo &info);
    void deviceRemoved(const QString &id);
    void reportReceived(const QString &id, const vardex::link::Payload &payload);
    void readError(const QString &id, const QString &text, quint32 code);
    // open() found the device's owner lock held by another program.
    void heldElsewhere(const vardex::link::HidDeviceInfo &info,
                       const vardex::link::OwnerRecord &holder);

protected:
    virtual bool openDevice(const QString &id, QString *error) = 0;
    virtual void closeDevice(const QString &id) = 0;

    // Thread-safe: called from reader threads.
    void queueReport(const QString &id, const Payload &payload);
    void queueReadError(const QString &id, const QString &text, quint32 code);
    // Drops whatever is queued for a device that goes away.
    void discardPending(const QString &id);

private:
    struct QueuedReport {
        QString id;
        Payload payload;
    };
    struct QueuedError {
        QString id;
        QString text;
        quint32 code;
    };
    using Item = std::variant<QueuedReport, QueuedError>;

    void postWake();

    std::shared_ptr<OwnerGate> m_gate;
    QHash<QString, QString> m_claimed; // open device -> its owner-lock key
    QMutex m_mutex;
    std::deque<Item> m_queue;
    bool m_wakePosted = false;
};

} // namespace vardex::link

Q_DECLARE_METATYPE(vardex::link::HidDeviceInfo)
Q_DECLARE_METATYPE(vardex::link::Payload)
Q_DECLARE_METATYPE(vardex::link::OwnerRecord)

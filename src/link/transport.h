#pragma once

#include "link/report.h"

#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>

#include <deque>
#include <variant>

namespace vardex::link {

// A present HID device as the link needs to know it.
struct HidDeviceInfo {
    QString id;      // stable for as long as the device is plugged in (e.g. the hidraw path)
    QString product; // USB product string
    int inputReportLength = 0; // bytes including the report ID, as the OS reports them
    int outputReportLength = 0;
    int featureReportLength = 0;
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

    // Claim a device and start its reader. False if it cannot be opened.
    virtual bool open(const QString &id, QString *error) = 0;
    // Stop and join the device's reader, then release it. No-op for unknown ids.
    virtual void close(const QString &id) = 0;
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

protected:
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

    QMutex m_mutex;
    std::deque<Item> m_queue;
    bool m_wakePosted = false;
};

} // namespace vardex::link

Q_DECLARE_METATYPE(vardex::link::HidDeviceInfo)
Q_DECLARE_METATYPE(vardex::link::Payload)

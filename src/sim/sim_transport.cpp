#include "sim/sim_transport.h"

#include <QElapsedTimer>
#include <QMetaObject>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <iterator>
#include <random>

namespace vardex::sim {

struct SimTransport::Device {
    link::HidDeviceInfo info;
    bool realTime = true;
    QString openError;
    bool plugged = false; // owning thread only
    bool open = false;    // owning thread only

    std::mutex firmwareMutex;
    Firmware firmware;
    QElapsedTimer sinceAdvance; // under firmwareMutex

    mutable std::mutex mutex; // everything below
    std::condition_variable wake;
    std::deque<Payload> queue;
    bool stop = false;
    bool gone = false; // pulled out by an Unplug fault; the owning thread learns it later
    int latencyMs = 1;
    std::deque<Fault> faults;
    std::vector<Payload> received;
    std::vector<Payload> held; // replies of a Late fault, out with the next request

    std::thread reader;

    // Sleeps ms unless told to stop first; true when stopping.
    bool sleepUnlessStopped(int ms)
    {
        std::unique_lock lock(mutex);
        return wake.wait_for(lock, std::chrono::milliseconds(ms), [&] { return stop; });
    }
};

SimTransport::SimTransport(QObject *parent) : Transport(parent) {}

SimTransport::~SimTransport()
{
    for (const auto &d : m_devices)
        close(d->info.id);
}

QString SimTransport::addDevice(SimDeviceOptions options)
{
    auto d = std::make_unique<Device>();
    d->info.id = options.id.isEmpty() ? QStringLiteral("sim:%1").arg(m_nextId) : options.id;
    ++m_nextId;
    d->info.product = options.product;
    d->info.inputReportLength = options.inputReportLength;
    d->info.outputReportLength = options.outputReportLength;
    d->info.featureReportLength = options.featureReportLength;
    d->info.ownerKey = link::ownerKeyForSimulated(d->info.id);
    d->realTime = options.realTime;
    d->openError = options.openError;
    d->latencyMs = std::max(0, options.latencyMs);
    d->firmware = std::move(options.firmware);
    const QString id = d->info.id;
    m_devices.push_back(std::move(d));
    return id;
}

SimTransport::Device *SimTransport::find(const QString &id) const
{
    const auto it = std::find_if(m_devices.begin(), m_devices.end(),
                                 [&](const auto &d) { return d->info.id == id; });
    return it == m_devices.end() ? nullptr : it->get();
}

void SimTransport::plug(const QString &id)
{
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(
            this, [this, id] { plug(id); }, Qt::QueuedConnection);
        return;
    }
    Device *d = find(id);
    if (!d || d->plugged)
        return;
    d->plugged = true;
    // Before the first enumeration ran, that enumeration announces it.
    if (m_started)
        emit deviceArrived(d->info);
}

void SimTransport::unplug(const QString &id)
{
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(
            this, [this, id] { unplug(id); }, Qt::QueuedConnection);
        return;
    }
    Device *d = find(id);
    if (!d || !d->plugged)
        return;
    d->plugged = false;
    if (m_started)
        emit deviceRemoved(id);
    // A real device's handle dies with it, whether or not the link closed it.
    close(id);
}

bool SimTransport::isPlugged(const QString &id) const
{
    const Device *d = find(id);
    return d && d->plugged;
}

void SimTransport::withFirmware(const QString &id, const std::function<void(Firmware &)> &fn)
{
    if (Device *d = find(id)) {
        std::lock_guard lock(d->firmwareMutex);
        fn(d->firmware);
    }
}

void SimTransport::setLatency(const QString &id, int ms)
{
    if (Device *d = find(id)) {
        std::lock_guard lock(d->mutex);
        d->latencyMs = std::max(0, ms);
    }
}

void SimTransport::addFault(const QString &id, const Fault &fault)
{
    if (Device *d = find(id)) {
        std::lock_guard lock(d->mutex);
        d->faults.push_back(fault);
    }
}

std::vector<Payload> SimTransport::receivedRequests(const QString &id) const
{
    if (const Device *d = find(id)) {
        std::lock_guard lock(d->mutex);
        return d->received;
    }
    return {};
}

void SimTransport::clearReceivedRequests(const QString &id)
{
    if (Device *d = find(id)) {
        std::lock_guard lock(d->mutex);
        d->received.clear();
    }
}

void SimTransport::injectReport(const QString &id, const Payload &payload)
{
    const Device *d = find(id);
    if (d && d->open)
        queueReport(id, payload);
}

// ---- Transport ------------------------------------------------------------------------

void SimTransport::start()
{
    // Like a real first enumeration: from the event loop, after start() returns.
    QTimer::singleShot(0, this, [this] {
        if (m_started)
            return;
        m_started = true;
        for (const auto &d : m_devices)
            if (d->plugged)
                emit deviceArrived(d->info);
    });
}

QList<link::HidDeviceInfo> SimTransport::devices() const
{
    QList<link::HidDeviceInfo> list;
    for (const auto &d : m_devices)
        if (d->plugged)
            list.append(d->info);
    return list;
}

bool SimTransport::openDevice(const QString &id, QString *error)
{
    Device *d = find(id);
    if (!d || !d->plugged) {
        if (error)
            *error = QStringLiteral("No such device");
        return false;
    }
    if (!d->openError.isEmpty()) {
        if (error)
            *error = d->openError;
        return false;
    }
    if (d->open)
        return true;
    {
        std::lock_guard lock(d->mutex);
        d->stop = false;
        d->gone = false;
        d->queue.clear();
        d->held.clear();
    }
    {
        std::lock_guard lock(d->firmwareMutex);
        d->sinceAdvance.start();
    }
    d->open = true;
    d->reader = std::thread(&SimTransport::readerLoop, this, d);
    return true;
}

void SimTransport::closeDevice(const QString &id)
{
    Device *d = find(id);
    if (!d || !d->open)
        return;
    {
        std::lock_guard lock(d->mutex);
        d->stop = true;
        d->queue.clear();
        d->held.clear();
    }
    d->wake.notify_all();
    if (d->reader.joinable())
        d->reader.join();
    d->open = false;
    discardPending(id);
}

bool SimTransport::write(const QString &id,
                         const std::array<std::uint8_t, link::kOutputReportSize> &report,
                         QString *errorText, quint32 *errorCode)
{
    Device *d = find(id);
    if (!d || !d->plugged || !d->open) {
        const bool gone = !d || !d->plugged;
        if (errorText)
            *errorText =
                gone ? QStringLiteral("No such device") : QStringLiteral("Bad file descriptor");
        if (errorCode)
            *errorCode = gone ? ENODEV : EBADF;
        return false;
    }
    Payload request{};
    std::copy(report.begin() + 1, report.end(), request.begin());
    {
        std::lock_guard lock(d->mutex);
        // Pulled out, though the removal has not reached this thread yet.
        if (d->gone) {
            if (errorText)
                *errorText = QStringLiteral("No such device");
            if (errorCode)
                *errorCode = ENODEV;
            return false;
        }
        d->received.push_back(request);
        d->queue.push_back(request);
    }
    d->wake.notify_all();
    return true;
}

// ---- the simulated device's side ----------------------------------------------------------

namespace {

// One of the notices the controller sends unasked: Code 10 (Sub 0..3), 34 (any Sub but the
// identity's 33) or 35 (Sub 0, 1), carrying bytes that would read as a plausible answer.
Payload randomNotice(std::mt19937 &rng)
{
    static constexpr std::uint8_t kCodes[] = {10, 34, 35};
    static constexpr std::uint8_t k34Subs[] = {0, 1, 2, 3, 4, 6, 16, 17, 18, 32};
    Payload p{};
    p[link::pos::Code] = kCodes[rng() % std::size(kCodes)];
    switch (p[link::pos::Code]) {
    case 10:
        p[link::pos::Sub] = static_cast<std::uint8_t>(rng() % 4);
        break;
    case 34:
        p[link::pos::Sub] = k34Subs[rng() % std::size(k34Subs)];
        break;
    default:
        p[link::pos::Sub] = static_cast<std::uint8_t>(rng() % 2);
        break;
    }
    p[link::pos::Arg1] = static_cast<std::uint8_t>(rng());
    const std::uint8_t plausible[] = {3, 0, 1, 0};
    std::copy(std::begin(plausible), std::end(plausible), p.begin() + link::pos::Data);
    for (std::size_t i = link::pos::Data + 4; i < p.size(); ++i)
        p[i] = static_cast<std::uint8_t>(rng());
    return p;
}

} // namespace

void SimTransport::readerLoop(Device *d)
{
    const QString id = d->info.id;
    for (;;) {
        Payload request;
        std::optional<Fault> fault;
        std::vector<Payload> late;
        int latency = 0;
        {
            std::unique_lock lock(d->mutex);
            d->wake.wait(lock, [&] { return d->stop || !d->queue.empty(); });
            if (d->stop)
                return;
            request = d->queue.front();
            d->queue.pop_front();
            latency = d->latencyMs;
            const auto it = std::find_if(d->faults.begin(), d->faults.end(),
                                         [&](const Fault &f) { return f.matches(request); });
            if (it != d->faults.end()) {
                fault = *it;
                d->faults.erase(it);
            }
            late.swap(d->held);
        }
        // What a Late fault held back comes out now that the next request is here.
        for (const Payload &p : late)
            queueReport(id, p);
        if (latency > 0 && d->sleepUnlessStopped(latency))
            return;

        const Fault::Kind kind = fault ? fault->kind : Fault::Kind::Drop;
        if (fault && kind == Fault::Kind::Unplug) {
            // A pulled device answers nothing from this moment, whatever is queued
            // and whenever the removal reaches the owning thread.
            {
                std::lock_guard lock(d->mutex);
                d->gone = true;
                d->queue.clear();
                d->held.clear();
            }
            unplug(id); // queued to the owning thread, which then stops this reader
            return;
        }
        std::vector<Payload> replies;
        if (fault && kind == Fault::Kind::ErrorReply) {
            replies = {Firmware::errorReply()};
        } else {
            std::lock_guard lock(d->firmwareMutex);
            if (d->realTime)
                d->firmware.advance(d->sinceAdvance.restart());
            replies = d->firmware.handle(request);
            if (fault && kind == Fault::Kind::CorruptLoop)
                d->firmware.corruptStoredLoop(request[link::pos::Sub]);
        }
        if (!fault) {
            for (const Payload &p : replies)
                queueReport(id, p);
            continue;
        }
        switch (kind) {
        case Fault::Kind::Drop:
            break; // the request took effect, its reply is lost
        case Fault::Kind::Delay:
            if (d->sleepUnlessStopped(fault->delayMs))
                return;
            for (const Payload &p : replies)
                queueReport(id, p);
            break;
        case Fault::Kind::Duplicate:
            for (const Payload &p : replies) {
                queueReport(id, p);
                queueReport(id, p);
            }
            break;
        case Fault::Kind::Notice: {
            std::mt19937 rng(static_cast<std::uint32_t>(fault->delayMs) * 7919u +
                             request[link::pos::Code]);
            queueReport(id, randomNotice(rng));
            // The reply follows at a random moment, 0..5 ms later.
            if (d->sleepUnlessStopped(static_cast<int>(rng() % 6)))
                return;
            for (std::size_t i = 0; i < replies.size(); ++i) {
                if (i > 0)
                    queueReport(id, randomNotice(rng));
                queueReport(id, replies[i]);
            }
            break;
        }
        case Fault::Kind::Late: {
            std::lock_guard lock(d->mutex);
            d->held = std::move(replies);
            break;
        }
        default:
            for (const Payload &p : replies)
                queueReport(id, p);
            break;
        }
    }
}

} // namespace vardex::sim

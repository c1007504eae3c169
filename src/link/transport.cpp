#include "link/transport.h"

#include <QMetaObject>

namespace vardex::link {

Transport::Transport(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<HidDeviceInfo>();
    qRegisterMetaType<Payload>();
    qRegisterMetaType<OwnerRecord>();
}

Transport::~Transport()
{
    // A subclass closes its devices in its destructor; whatever is left is let go here.
    if (m_gate) {
        for (const QString &key : std::as_const(m_claimed))
            m_gate->release(key);
    }
}

QString Transport::ownerKeyOf(const QString &id) const
{
    for (const HidDeviceInfo &d : devices()) {
        if (d.id == id && !d.ownerKey.isEmpty())
            return d.ownerKey;
    }
    return ownerKeyForPath(id);
}

bool Transport::open(const QString &id, QString *error)
{
    if (m_claimed.contains(id) || !m_gate)
        return openDevice(id, error);
    const QString key = ownerKeyOf(id);
    const Claim claim = m_gate->claim(key);
    if (!claim.granted) {
        if (error)
            *error = claim.error;
        if (claim.holder) {
            for (const HidDeviceInfo &d : devices()) {
                if (d.id == id)
                    emit heldElsewhere(d, *claim.holder);
            }
        }
        return false;
    }
    if (!openDevice(id, error)) {
        m_gate->release(key);
        return false;
    }
    m_claimed.insert(id, key);
    return true;
}

void Transport::close(const QString &id)
{
    closeDevice(id);
    const auto it = m_claimed.constFind(id);
    if (it == m_claimed.cend())
        return;
    const QString key = *it;
    m_claimed.erase(it);
    if (m_gate)
        m_gate->release(key);
}

void Transport::withdraw(const QString &id)
{
    emit deviceRemoved(id);
    close(id);
}

void Transport::announce(const QString &id)
{
    for (const HidDeviceInfo &d : devices()) {
        if (d.id == id)
            emit deviceArrived(d);
    }
}

void Transport::queueReport(const QString &id, const Payload &payload)
{
    QMutexLocker lock(&m_mutex);
    m_queue.push_back(QueuedReport{id, payload});
    postWake();
}

void Transport::queueReadError(const QString &id, const QString &text, quint32 code)
{
    QMutexLocker lock(&m_mutex);
    m_queue.push_back(QueuedError{id, text, code});
    postWake();
}

void Transport::discardPending(const QString &id)
{
    QMutexLocker lock(&m_mutex);
    std::erase_if(m_queue, [&](const Item &item) {
        return std::visit([&](const auto &v) { return v.id == id; }, item);
    });
}

// Called with m_mutex held. One wake-up covers everything queued until it runs,
// so a burst of reports costs one event, not one per report.
void Transport::postWake()
{
    if (m_wakePosted)
        return;
    m_wakePosted = true;
    QMetaObject::invokeMethod(this, &Transport::deliverPending, Qt::QueuedConnection);
}

void Transport::deliverPending()
{
    for (;;) {
        Item item;
        {
            QMutexLocker lock(&m_mutex);
            if (m_queue.empty()) {
                m_wakePosted = false;
                return;
            }
            item = std::move(m_queue.front());
            m_queue.pop_front();
        }
        // Emitted without the lock: a handler may open message boxes or send.
        if (const auto *r = std::get_if<QueuedReport>(&item))
            emit reportReceived(r->id, r->payload);
        else if (const auto *e = std::get_if<QueuedError>(&item))
            emit readError(e->id, e->text, e->code);
    }
}

} // namespace vardex::link

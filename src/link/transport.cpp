#include "link/transport.h"

#include <QMetaObject>

namespace vardex::link {

Transport::Transport(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<HidDeviceInfo>();
    qRegisterMetaType<Payload>();
}

Transport::~Transport() = default;

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

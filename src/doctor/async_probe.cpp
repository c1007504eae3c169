#include "doctor/async_probe.h"

#include <QThread>

namespace vardex::doctor {

AsyncProbe::AsyncProbe(QObject *parent) : QObject(parent) {}

AsyncProbe::~AsyncProbe()
{
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
    }
}

void AsyncProbe::start()
{
    if (!m_probe) {
        emit finished(SystemState{});
        return;
    }
    if (m_thread) {
        m_again = true;
        return;
    }
    // The probe is copied into the thread: setProbe() meanwhile cannot pull it away.
    m_thread = QThread::create([this, probe = m_probe] {
        SystemState state = probe();
        QMetaObject::invokeMethod(
            this, [this, state = std::move(state)] { deliver(state); }, Qt::QueuedConnection);
    });
    m_thread->start();
}

void AsyncProbe::deliver(const SystemState &state)
{
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
        m_thread = nullptr;
    }
    emit finished(state);
    if (m_again) {
        m_again = false;
        start();
    }
}

} // namespace vardex::doctor

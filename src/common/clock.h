#pragma once

#include <QDateTime>
#include <QElapsedTimer>

// Time as the program sees it: the wall clock (captions, timestamps, the timed hash
// test) and a monotonic clock (durations, round trips). Tests set a ManualClock.
namespace vardex {

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    virtual qint64 monotonicMs() const = 0;

    // The computer's clock; lives as long as the program.
    static Clock &system();
};

class SystemClock final : public Clock {
public:
    SystemClock() { m_elapsed.start(); }
    QDateTime now() const override { return QDateTime::currentDateTime(); }
    qint64 monotonicMs() const override { return m_elapsed.elapsed(); }

private:
    QElapsedTimer m_elapsed;
};

// A clock that moves only when told to.
class ManualClock final : public Clock {
public:
    explicit ManualClock(QDateTime start = QDateTime(QDate(2026, 1, 1), QTime(12, 0, 0)))
        : m_now(std::move(start))
    {
    }
    QDateTime now() const override { return m_now; }
    qint64 monotonicMs() const override { return m_monotonic; }
    void setNow(const QDateTime &t) { m_now = t; }
    void advanceMs(qint64 ms)
    {
        m_now = m_now.addMSecs(ms);
        m_monotonic += ms;
    }

private:
    QDateTime m_now;
    qint64 m_monotonic = 0;
};

inline Clock &Clock::system()
{
    static SystemClock clock;
    return clock;
}

} // namespace vardex

#pragma once

#include "common/clock.h"
#include "service/echo.h"
#include "service/watchdog.h"

#include <functional>
#include <utility>
#include <vector>

namespace vardex::test {

// An echo whose replies the test hands over when it chooses; it records each request.
class ScriptedEcho final : public service::Echo {
public:
    std::vector<service::EchoRequest> requests;

    void start(const service::EchoRequest &request, Done done) override
    {
        requests.push_back(request);
        m_pending = std::move(done);
    }
    bool busy() const override { return static_cast<bool>(m_pending); }

    // Delivers r to the ping that is out; false when none is.
    bool reply(const service::EchoResult &r)
    {
        if (!m_pending)
            return false;
        Done done = std::exchange(m_pending, {});
        done(r);
        return true;
    }

    static service::EchoResult answered(unsigned ms = 3, int ttl = 64)
    {
        service::EchoResult r;
        r.status = service::EchoStatus::Answered;
        r.bytes = 40;
        r.address = QStringLiteral("192.0.2.7");
        r.ttl = ttl;
        r.roundTripMs = ms;
        return r;
    }
    static service::EchoResult timedOut(unsigned ms = 500)
    {
        service::EchoResult r;
        r.roundTripMs = ms;
        return r;
    }
    static service::EchoResult withStatus(service::EchoStatus s)
    {
        service::EchoResult r = timedOut(5);
        r.status = s;
        return r;
    }

private:
    Done m_pending;
};

// A timer that moves with a ManualClock: advance() fires the ticks that fall due, each
// at its time, the way a periodic QTimer would.
class ManualTimer final : public service::WatchdogTimer {
public:
    explicit ManualTimer(ManualClock &clock) : m_clock(clock) {}

    std::function<void()> onTick;
    int phase = 0;

    void start() override
    {
        m_active = true;
        m_due = m_clock.monotonicMs() + m_interval;
        ++m_generation;
    }
    void stop() override
    {
        m_active = false;
        ++m_generation;
    }
    void setInterval(int ms) override { m_interval = ms; }
    int interval() const override { return m_interval; }
    bool isActive() const override { return m_active; }
    void setPhase(int p) override { phase = p; }

    void advance(qint64 ms)
    {
        const qint64 end = m_clock.monotonicMs() + ms;
        while (m_active && m_due <= end) {
            m_clock.advanceMs(m_due - m_clock.monotonicMs());
            const int generation = m_generation;
            m_due += m_interval;
            if (onTick)
                onTick();
            if (generation != m_generation && m_active && m_due <= m_clock.monotonicMs())
                break; // restarted with a zero interval: never happens with real values
        }
        m_clock.advanceMs(end - m_clock.monotonicMs());
    }

private:
    ManualClock &m_clock;
    bool m_active = false;
    int m_interval = 1000;
    qint64 m_due = 0;
    int m_generation = 0;
};

} // namespace vardex::test

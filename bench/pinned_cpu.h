#pragma once

#include <sched.h>

namespace vardex::bench {

// Keeps the calling thread, and every thread it starts meanwhile (the simulated
// controller's reader), on one CPU for the life of the scope; restores the old set.
class PinnedToOneCpu {
public:
    explicit PinnedToOneCpu(bool pin)
    {
        if (!pin || sched_getaffinity(0, sizeof m_old, &m_old) != 0)
            return;
        m_cpu = sched_getcpu();
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(m_cpu, &one);
        m_pinned = sched_setaffinity(0, sizeof one, &one) == 0;
    }
    ~PinnedToOneCpu()
    {
        if (m_pinned)
            sched_setaffinity(0, sizeof m_old, &m_old);
    }
    PinnedToOneCpu(const PinnedToOneCpu &) = delete;
    PinnedToOneCpu &operator=(const PinnedToOneCpu &) = delete;
    bool pinned() const { return m_pinned; }
    int cpu() const { return m_cpu; }

private:
    cpu_set_t m_old{};
    int m_cpu = -1;
    bool m_pinned = false;
};

} // namespace vardex::bench

#include "service/pwm_sweep.h"

#include "link/operation.h"
#include "link/protocol.h"

#include <algorithm>

namespace vardex::service {

int PwmSweep::floor() const
{
    return std::min(m_minimum, m_maximum - kMinimumSpan);
}

void PwmSweep::setLevel(int level)
{
    m_level = static_cast<std::uint16_t>(std::clamp(level, floor(), ceiling()));
}

std::uint16_t PwmSweep::tick()
{
    const int level = m_level;
    if (m_rising) {
        if (level + 1 >= ceiling()) {
            m_level = static_cast<std::uint16_t>(ceiling());
            m_rising = false;
        } else {
            m_level = static_cast<std::uint16_t>(level + 1);
        }
    } else {
        // "At or below" rather than "equal": a level that starts on the floor turns
        // there instead of running down through 0 to 65535.
        if (level - 1 <= floor()) {
            m_level = static_cast<std::uint16_t>(floor());
            m_rising = true;
        } else {
            m_level = static_cast<std::uint16_t>(level - 1);
        }
    }
    return m_level;
}

int PwmSweep::setRampSeconds(int seconds)
{
    setLevel(1);
    return intervalMs(seconds, m_stepCount);
}

void PwmSweep::setStepItem(int item)
{
    m_stepCount = item == 0 ? 32 : 128;
}

void PwmSweep::setMaximum(int value)
{
    m_maximum = value;
    setLevel(value - 2);
}

void PwmSweep::setMinimum(int value)
{
    m_minimum = value;
    setLevel(value + 2);
}

bool runSweepTick(link::OperationContext &ctx, PwmSweep &sweep,
                  const std::array<bool, kSweepBoxes> &checked, bool loopsRead)
{
    if (ctx.image().loopTransfers > 0)
        return false;
    const std::uint8_t dimmer = static_cast<std::uint8_t>(sweep.tick() & 0xFF);
    for (int box = 1; box <= kSweepBoxes; ++box) {
        if (!checked[static_cast<std::size_t>(box - 1)])
            continue;
        const int n = sweepLoopOfBox(box);
        auto &ext = ctx.image().loopExt(n);
        ext.dimmer = dimmer;
        // Without a controller a wait can only time out: 500 ms per box for nothing.
        if (!loopsRead || !ctx.hasDevice() || ctx.cancelled())
            continue;
        ctx.send(link::protocol::writeLoopExt(n, ext));
        ctx.waitReply(kSweepReplyTimeoutMs);
    }
    return true;
}

} // namespace vardex::service

#include "work/state_reading.h"

#include "link/protocol.h"

namespace vardex::work {

link::Payload requestPayload(StateRequest request)
{
    switch (request) {
    case StateRequest::Clock:
        return link::protocol::readClock();
    case StateRequest::State0:
        return link::protocol::readState(0);
    case StateRequest::State1:
        return link::protocol::readState(1);
    }
    return link::protocol::readState(0);
}

bool runExchanges(std::span<const Exchange> exchanges,
                  const std::function<bool(const Exchange &)> &exchange)
{
    for (const Exchange &e : exchanges) {
        if (!exchange(e) && e.deciding)
            return false;
    }
    return true;
}

CycleEnd decideCycleEnd(bool answered, qint64 elapsedMs, int intervalMs, bool stillPolling)
{
    CycleEnd end;
    if (!answered)
        return end;
    end.show = true;
    if (stillPolling) {
        end.setCaption = true;
        end.caption = QString::number(elapsedMs);
        end.restartTimer = elapsedMs >= intervalMs;
    }
    return end;
}

PollSwitchLook pollSwitchLook(bool running)
{
    return running ? PollSwitchLook{QStringLiteral("Вкл"), true}
                   : PollSwitchLook{QStringLiteral("Выкл"), false};
}

} // namespace vardex::work

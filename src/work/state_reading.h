#pragma once

#include "link/report.h"

#include <QString>
#include <QtGlobal>

#include <array>
#include <functional>
#include <span>

// The exchange sequences that read the live state, and what a polling cycle's end
// decides. Pure: the caller sends and waits.
namespace vardex::work {

enum class StateRequest { Clock, State0, State1 };

struct Exchange {
    StateRequest request;
    int timeoutMs;
    // A missing reply to a deciding exchange ends the sequence unanswered; a
    // missing reply to another one goes unnoticed.
    bool deciding;
};

// The state button: sub 0, then sub 1; only the second decides.
inline constexpr std::array<Exchange, 2> kSingleRead = {{
    {StateRequest::State0, 200, false},
    {StateRequest::State1, 200, true},
}};

// One polling cycle: the clock first, as the cycle's sign of life, then the state.
inline constexpr std::array<Exchange, 3> kPollCycle = {{
    {StateRequest::Clock, 500, true},
    {StateRequest::State0, 500, false},
    {StateRequest::State1, 500, true},
}};

link::Payload requestPayload(StateRequest request);

// Runs the exchanges in order; exchange() sends one request and returns whether
// its reply came in time. True when every deciding exchange was answered; stops
// at the first deciding exchange that was not.
bool runExchanges(std::span<const Exchange> exchanges,
                  const std::function<bool(const Exchange &)> &exchange);

// What the end of a polling cycle changes.
struct CycleEnd {
    bool show = false;       // write the page from the state
    bool setCaption = false; // the switch button shows the cycle time
    QString caption;
    bool restartTimer = false; // next cycle a full interval after this one
};

// answered: the cycle's deciding replies all came. stillPolling: the timer still
// runs (the user or a removal may have stopped it during the cycle's waits; a
// stopped poll keeps its "Выкл" caption and is not restarted).
CycleEnd decideCycleEnd(bool answered, qint64 elapsedMs, int intervalMs, bool stillPolling);

// The latching switch of the polling.
struct PollSwitchLook {
    QString caption;
    bool active; // green and bold
};
PollSwitchLook pollSwitchLook(bool running);

} // namespace vardex::work

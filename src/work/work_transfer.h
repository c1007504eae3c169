#pragma once

#include "link/device_image.h"
#include "link/operation.h"
#include "work/state_reading.h"

#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>
#include <span>

// The Work page's exchanges with the controller: state, output task, clock and the
// signed-command group. Each runs as one operation; the page only shows the result.
namespace vardex::work {

// Sends and awaits the exchanges in order; true when every deciding one was answered.
bool readState(link::OperationContext &ctx, std::span<const Exchange> exchanges);

// The output task of the image; fire and forget (the effect shows in the next state).
void sendOutputTask(link::OperationContext &ctx);

enum class Acknowledged { Yes, Refused, No };
// The same task, waiting for its acknowledgement (the command line tells a script
// whether it arrived).
Acknowledged sendOutputTaskAwaited(link::OperationContext &ctx, int timeoutMs);

inline constexpr int kClockReadTimeoutMs = 2000;

struct ClockReadResult {
    // The clock came (not as the error reply, which was reported already).
    bool answered = false;
    // "dd-mm-yy hh:nn:ss", or nothing when the bytes form no date or time.
    std::optional<QString> text;
    link::DeviceClock clock{};
};
ClockReadResult readClock(link::OperationContext &ctx);
// The local date and time, milliseconds dropped; no reply is awaited.
void setClock(link::OperationContext &ctx, const QDateTime &local);

struct ClockSetCheck {
    bool answered = false;               // the clock was read back
    std::optional<qint64> offsetSeconds; // controller minus computer; none: no valid date
};
// Sets the clock from now(), reads it back and compares it with now() at the answer.
ClockSetCheck setClockChecked(link::OperationContext &ctx, const std::function<QDateTime()> &now);
// How far the clock read back may be from the computer's and still count as set.
inline constexpr qint64 kClockToleranceSeconds = 2;
// Why a set clock does not count as set (nothing: it does). The window and the command
// line say the same.
std::optional<QString> clockSetFailure(const ClockSetCheck &check);

inline constexpr int kKeyWaitMs = 15000;

// Each clears or fills the image's buffer, asks, and waits; a time-out leaves the
// zeros (or the old reply), which the hints then show.
void generateKey(link::OperationContext &ctx);
void readOpenKey(link::OperationContext &ctx);
// The digest of the two keys, sent as the signed command.
void sendHash(link::OperationContext &ctx);
void resetHash(link::OperationContext &ctx);

} // namespace vardex::work

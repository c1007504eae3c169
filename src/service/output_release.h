#pragma once

#include "link/device_image.h"
#include "link/operation.h"

#include <QString>

// Switching an output off on a controller that is about to be let go (a newer one takes
// its place): the write is acknowledged and the state read back, because nothing will
// get a second chance at this controller.
namespace vardex::service {

inline constexpr int kReleaseReplyMs = 1000;

struct OutputRelease {
    enum class Outcome {
        Off,        // acknowledged, and the state read back shows the output off
        NotWritten, // no controller, refused, or not acknowledged in time
        NotReadBack,
        StillOn, // read back on (a loop may hold it, or the write did not take)
    };
    Outcome outcome = Outcome::NotWritten;
    bool off() const { return outcome == Outcome::Off; }
};

// Clears the watchdog output item index in task (the task the window holds for this
// controller), writes the whole task and reads the state back.
OutputRelease releaseOutput(link::OperationContext &ctx, link::OutputTask &task, int index);

// The connected controller's serial number ("S/N" digits), read now; empty when it gave
// none (no answer, the error reply). A switch-off owed to one controller goes only to it.
QString readSerial(link::OperationContext &ctx);

// Why the output may still be on, for the engineer: "выключение не записано", ...
QString releaseFailureText(OutputRelease::Outcome outcome);

} // namespace vardex::service

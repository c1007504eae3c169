#pragma once

#include "link/operation.h"

#include <QString>
#include <QtGlobal>

#include <functional>

// The device description ("Описание "): the configuration, all 26 loops (main and
// extended records) and the identity, read as one operation.
namespace vardex::work {

// Time-outs of the description read, in milliseconds. Tests shorten them.
struct DescriptionTimings {
    int configPage3Ms = 5000;
    int loopRecordMs = 5000;
    int identityPauseMs = 1000; // the controller wants a rest before the identity
    int identityMs = 5000;
};

// What the read got, for the window and every page to show.
struct DescriptionResult {
    // Done, or why and where it stopped.
    link::OpResult op;
    // A wait went unanswered (or the controller went away during it): the engineer
    // is told. Not for a stop, nor for the one missing page 3 (only the duration
    // tells of it).
    bool tell = false;
    // Pages 0..3 are in the image (the extended-loop rule may change).
    bool configurationRead = false;
    // Configuration and every loop are in and the controller is still there: the
    // description is shown and what talks to the controller is enabled.
    bool described = false;
    // The identity was answered, the error reply included: the signed commands
    // are usable.
    bool identityAnswered = false;
    // "S/N" digits; empty when the answer was the error reply (its bytes are no
    // serial number) or when no identity came.
    QString serial;
    // The duration goes in front of the caption (the read ran to one of its ends;
    // a missed loop or identity reply adds none).
    bool timed = false;
    qint64 elapsedMs = 0;
};

// The identity reply alone: the description's last step, and who the controller is for
// a sequence that needs only that (the headless watch's start).
struct IdentityRead {
    bool answered = false;   // a reply came in time, the error reply included
    bool errorReply = false; // it was the error reply (its bytes are no serial number)
    QString serial;          // "S/N" digits; empty unless answered without error
};
IdentityRead readIdentity(link::OperationContext &ctx, int timeoutMs);

// controllerPresent: whether a controller is taken; without one (a click queued
// behind an unplug) nothing is sent. Messages are left to the caller (tell).
DescriptionResult readDescription(link::OperationContext &ctx, const DescriptionTimings &timings,
                                  const std::function<bool()> &controllerPresent);

} // namespace vardex::work

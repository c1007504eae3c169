#pragma once

#include "link/operation.h"

#include <QString>
#include <QtGlobal>

// The outcome of the device description read (configuration, all loops, identity). The
// read itself is the work subsystem's; its outcome lives down here because every page,
// whatever its subsystem, is told it.
namespace vardex::link {

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

} // namespace vardex::link

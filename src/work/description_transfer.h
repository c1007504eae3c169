#pragma once

#include "link/description_result.h"
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

using link::DescriptionResult;

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

#pragma once

#include "link/device_image.h"
#include "link/report.h"

#include <array>

namespace vardex::link {

enum class ReplyOutcome {
    Ignored,  // not a reply the program waits for: ReplyReceived stays as it is
    Accepted, // stored what it carries (if anything) and ends the caller's wait
};

// One entry per reply Code. An entry stores what the reply carries into the image
// and says whether it counts as the awaited reply. It must treat every byte of the
// payload as untrusted.
using ReplyEntry = ReplyOutcome (*)(const Payload &reply, DeviceImage &image);
using ReplyTable = std::array<ReplyEntry, 256>;

// The controller's table of replies; codes without an entry are ignored.
const ReplyTable &replyTable();

// Replies the controller may send without being asked (notices: Code 10, 35, and 34
// other than the identity Sub 33); they end whatever wait is running. Every other
// reply answers a request of its own Code.
bool isControllerNotice(const Payload &reply);

// The controller's error reply: 0xFF then "ERR".
bool isErrorReply(const Payload &reply);

// Marks a configuration page or loop record asked for by a read-back (a link::ReadAside
// open) as owed to it, so its reply never reaches the image even when it comes after the
// read-back ended; the same request from anyone else clears the mark.
void noteRequest(DeviceImage &image, const Payload &request);

} // namespace vardex::link

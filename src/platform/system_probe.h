#pragma once

#include "link/connection_doctor.h"

namespace vardex::link::doctor {

// What this machine says about HID access, for the connection doctor: hidapi and
// udev, every hidraw node with its product string, mode, owner, ACL and holders, the
// rule folders. Only reads; the trial open is closed at once.
SystemState probeSystem(const QStringList &ruleFolders = kRuleFolders);

} // namespace vardex::link::doctor

#pragma once

#include "doctor/system_state.h"

namespace vardex::platform {

// What this machine says about HID access, for the connection doctor: hidapi and
// udev, every hidraw node with its product string, mode, owner, ACL and this user's
// permission (the kernel's access check: no node is opened), the programs holding
// the controller's node, the rule folders and how the user logged in. It reads
// /proc and sysfs and may take a while on a busy machine: the window runs it on a
// worker thread (doctor::AsyncProbe).
doctor::SystemState probeSystem(const QStringList &ruleFolders = doctor::kRuleFolders);

} // namespace vardex::platform

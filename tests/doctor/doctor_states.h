#pragma once

#include "doctor/system_state.h"

namespace vardex::test {

// A healthy machine with the controller plugged in and the rule installed, at the
// seat; each test breaks one thing. The controller is nodes[1].
inline doctor::SystemState healthyMachine()
{
    doctor::SystemState s;
    s.hidapiAvailable = true;
    s.udevAvailable = true;
    s.monitorWorks = true;
    s.userName = QStringLiteral("engineer");
    doctor::HidNode keyboard;
    keyboard.path = QStringLiteral("/dev/hidraw0");
    keyboard.product = QStringLiteral("USB Keyboard");
    doctor::HidNode controller;
    controller.path = QStringLiteral("/dev/hidraw3");
    controller.product = QStringLiteral("Quellbox");
    controller.mode = 0600;
    controller.owner = controller.group = QStringLiteral("root");
    controller.aclUsers = {QStringLiteral("engineer")};
    controller.readWrite = true;
    s.nodes = {keyboard, controller};
    s.rulesFound = {QStringLiteral("/usr/lib/udev/rules.d/70-quellbox.rules")};
    return s;
}

// The controller present, root only, no rule anywhere.
inline doctor::SystemState lockedWithoutRule()
{
    doctor::SystemState s = healthyMachine();
    s.rulesFound.clear();
    s.nodes[1].aclUsers.clear();
    s.nodes[1].readWrite = false;
    return s;
}

} // namespace vardex::test

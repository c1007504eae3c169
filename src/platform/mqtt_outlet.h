#pragma once

#include "cli/serve_command.h"
#include "fleet/outlet.h"

#include <memory>

// --mqtt: publishes the service's snapshots and events through libmosquitto. It
// subscribes to nothing, so nothing from the broker can reach the controller.
namespace vardex::platform {

// None, with the reason, when the settings cannot be used (password or CA file
// unreadable). A broker that is not there yet is no error: the client keeps trying.
std::unique_ptr<fleet::Outlet> makeMqttOutlet(const cli::MqttSettings &settings, QString *error);

} // namespace vardex::platform

#pragma once

#include "fleet/event.h"
#include "fleet/snapshot.h"

#include <vector>

// What changed between two answered polls, as events: alarms raised and cleared,
// contacts and TTL inputs that changed. Only enabled inputs count; loop flags are no
// alarms.
namespace vardex::fleet {

std::vector<Event> stateEvents(const Snapshot &before, const Snapshot &after);

} // namespace vardex::fleet

#pragma once

#include "fleet/outlet.h"
#include "fleet/service_notice.h"

#include <memory>

// The systemd side of the cabinet service: the notify socket and the journal.
namespace vardex::platform {

// A notifier when NOTIFY_SOCKET is set, none otherwise.
std::unique_ptr<fleet::ServiceNotifier> makeSystemdNotifier();

// True when stderr is the journal's stream (JOURNAL_STREAM names its device and inode).
bool stderrIsJournal();
// Structured entries; callers use it only where stderrIsJournal() holds.
std::unique_ptr<fleet::Outlet> makeJournalOutlet();

} // namespace vardex::platform

#pragma once

#include "link/transport.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

namespace vardex::link {

struct DeviceListChange {
    QStringList removed;          // in the order of the previous list
    QList<HidDeviceInfo> arrived; // in the order of the new list
};

// What changed between the devices announced so far and a fresh enumeration.
// goneSince holds ids the OS reported removed since the last enumeration: a node
// name is reused at once when a device is replugged, so an id present in both lists
// may still be a new device, and it must be announced as removed, then arrived.
// A changed product string under the same id counts the same way.
DeviceListChange diffDeviceLists(const QList<HidDeviceInfo> &previous,
                                 const QList<HidDeviceInfo> &current,
                                 const QSet<QString> &goneSince = {});

// An enumeration may list one node once per top-level usage; keeps the first.
QList<HidDeviceInfo> uniqueById(const QList<HidDeviceInfo> &devices);

} // namespace vardex::link

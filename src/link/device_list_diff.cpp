#include "link/device_list_diff.h"

#include <QHash>

namespace vardex::link {

DeviceListChange diffDeviceLists(const QList<HidDeviceInfo> &previous,
                                 const QList<HidDeviceInfo> &current,
                                 const QSet<QString> &goneSince)
{
    QHash<QString, const HidDeviceInfo *> now;
    for (const HidDeviceInfo &d : current)
        now.insert(d.id, &d);

    DeviceListChange change;
    QSet<QString> kept;
    for (const HidDeviceInfo &d : previous) {
        const HidDeviceInfo *same = now.value(d.id);
        const bool replaced = goneSince.contains(d.id) || (same && same->product != d.product);
        if (same && !replaced)
            kept.insert(d.id);
        else if (!change.removed.contains(d.id))
            change.removed.append(d.id);
    }
    QSet<QString> announced;
    for (const HidDeviceInfo &d : current) {
        if (kept.contains(d.id) || announced.contains(d.id))
            continue;
        announced.insert(d.id);
        change.arrived.append(d);
    }
    return change;
}

QList<HidDeviceInfo> uniqueById(const QList<HidDeviceInfo> &devices)
{
    QList<HidDeviceInfo> out;
    QSet<QString> seen;
    for (const HidDeviceInfo &d : devices) {
        if (seen.contains(d.id))
            continue;
        seen.insert(d.id);
        out.append(d);
    }
    return out;
}

} // namespace vardex::link

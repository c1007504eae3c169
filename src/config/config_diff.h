#pragma once

#include "common/channel_names.h"
#include "common/field_change.h"
#include "link/device_image.h"

#include <QString>

#include <vector>

// What a configuration write would change on a controller, field by field, under the
// captions the configuration pages use.
namespace vardex::config {

// The configuration as the controller would hold it after writing c: fields wider than
// the wire keep only the bits sent, the version bytes and the fill are not written.
link::MonitorConfig asWritten(const link::MonitorConfig &c);

// The fields whose written value differs between held (what the controller has) and
// wanted (what a write would send), in the order of the pages. Fields that never travel
// (versions, fill) never differ.
FieldChanges diffConfig(const link::MonitorConfig &held, const link::MonitorConfig &wanted,
                        const ChannelNames &names = defaultChannelNames());

// The configuration pages (0..3) whose write request differs between the two.
std::vector<int> differingPages(const link::MonitorConfig &a, const link::MonitorConfig &b);

} // namespace vardex::config

#pragma once

#include <QString>
#include <QStringList>

// The item lists of the configuration pages, in one place for the pages and for the
// comparison that names fields the way the pages show them.
namespace vardex::config {

// Index = DallasResolution code.
inline const QStringList kResolutionItems = {"0.5", "0.25", "0.125", "0.0625"};
// Index = FanImpulse code (pulses per revolution).
inline const QStringList kImpulseItems = {"2", "4", "8", "16"};
// Index = LogPeriod / LogAlarmPeriod code; the fourth item is spelled as the form has it.
inline const QStringList kPeriodItems = {"10 сек", "30 сек", "1 мин", "2 ми", "5 мин"};

// The item of a list, or the raw code when a file carried one the list lacks.
inline QString listItem(const QStringList &items, int code)
{
    return code >= 0 && code < items.size() ? items[code] : QStringLiteral("код %1").arg(code);
}

} // namespace vardex::config

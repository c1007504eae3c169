#pragma once

#include "link/device_image.h"
#include "link/report.h"

#include <QDateTime>
#include <QString>

#include <optional>

// Texts of the device description and the controller clock. Pure.
namespace vardex::work {

// The identity reply carries ten 4-byte groups from payload position 6; the serial
// number is the low byte of each group in decimal, each followed by a full stop
// ("1.2.3.4.5.6.7.8.9.10."). Values above 255 in a group are not shown.
inline constexpr int kIdentityGroups = 10;
QString serialNumberText(const link::Payload &identityReply);

// "<title>  S/N=<serial>": the caption after the identity was read.
QString identityCaption(const QString &title, const QString &serial);

// "<ms> <caption>": every finished description puts its duration in front, so
// repeated ones stack up, the newest first.
QString withDuration(qint64 elapsedMs, const QString &caption);

// The controller clock as "dd-mm-yy hh:nn:ss" (year since 2000, 24-hour clock);
// nothing when its bytes form no real date or time.
std::optional<QString> clockText(const link::DeviceClock &clock);
// The clock bytes as they came, for telling the user what was wrong.
QString rawClockText(const link::DeviceClock &clock);
QString invalidClockMessage(const link::DeviceClock &clock);

// The WriteClock request for a local date and time (milliseconds dropped).
link::Payload clockSetRequest(const QDateTime &local);

} // namespace vardex::work

#pragma once

#include <QLocale>
#include <QString>

namespace vardex::log {

// How long a full read took, written like a time of day in the locale's long format,
// but always on the 24-hour clock and without a zone: "0:00:11", never "12:00:11 AM".
QString readDurationText(qint64 ms, const QLocale &locale = QLocale::system());

} // namespace vardex::log

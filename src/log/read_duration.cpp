#include "log/read_duration.h"

#include <QTime>

#include <algorithm>

namespace vardex::log {

QString readDurationText(qint64 ms, const QLocale &locale)
{
    QString format = locale.timeFormat(QLocale::LongFormat);
    // A duration has no zone and no half of the day: "AP" would turn 11 s into 12 AM.
    format.remove(QLatin1Char('t'));
    format.remove(QLatin1Char('A'), Qt::CaseInsensitive);
    format.remove(QLatin1Char('P'), Qt::CaseInsensitive);
    format.replace(QLatin1Char('h'), QLatin1Char('H'));
    format = format.trimmed();
    if (format.isEmpty())
        format = QStringLiteral("HH:mm:ss");
    const qint64 day = 24LL * 60 * 60 * 1000 - 1;
    return QTime(0, 0).addMSecs(static_cast<int>(std::clamp<qint64>(ms, 0, day))).toString(format);
}

} // namespace vardex::log

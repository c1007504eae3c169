#include "chart/axis_format.h"

#include <cmath>

namespace vardex::chart {

QString formatValue(double value, int decimals, bool grouping)
{
    if (!std::isfinite(value))
        return QStringLiteral("*");
    QString text = QString::number(value, 'f', decimals);
    if (!grouping)
        return text;
    const bool negative = text.startsWith(QLatin1Char('-'));
    const qsizetype start = negative ? 1 : 0;
    qsizetype point = text.indexOf(QLatin1Char('.'));
    if (point < 0)
        point = text.size();
    for (qsizetype i = point - 3; i > start; i -= 3)
        text.insert(i, QLatin1Char(','));
    return text;
}

QString timeLabelFormat(const TimeAxis &axis, double span)
{
    if (!axis.adaptive || !(span > kMonthSeconds))
        return axis.format;
    return QStringLiteral("dd.MM.yyyy");
}

QString spanText(double from, double to)
{
    const QString format = QStringLiteral("dd.MM.yyyy hh:mm:ss");
    return QStringLiteral("%1 — %2").arg(fromWallSeconds(from).toString(format),
                                         fromWallSeconds(to).toString(format));
}

double wallSeconds(const QDateTime &dateTime)
{
    const QDateTime wall(dateTime.date(), dateTime.time(), Qt::UTC);
    return wall.toMSecsSinceEpoch() / 1000.0;
}

QDateTime fromWallSeconds(double seconds)
{
    return QDateTime::fromMSecsSinceEpoch(qint64(std::llround(seconds * 1000.0)), Qt::UTC);
}

} // namespace vardex::chart

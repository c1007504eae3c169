#include "chart/readout.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace vardex::chart {

Readout readoutAt(const ChartModel &model, double time)
{
    Readout out;
    out.time = time;
    for (int i = 0; i < model.seriesCount(); ++i) {
        const Series &s = model.series(i);
        if (!s.visible || s.points.empty())
            continue;
        auto it = std::lower_bound(s.points.begin(), s.points.end(), time,
                                   [](const Point &p, double t) { return p.time < t; });
        if (it == s.points.end())
            --it;
        else if (it != s.points.begin() && time - std::prev(it)->time <= it->time - time)
            --it;
        out.lines.push_back({i, s.style.title, s.style.unit, s.style.colour, *it});
    }
    return out;
}

QString readoutText(const Readout &readout, const ValueAxis &axis)
{
    QStringList lines;
    lines << fromWallSeconds(readout.time).toString(QStringLiteral("dd.MM.yyyy hh:mm:ss"));
    for (const ReadoutLine &line : readout.lines) {
        QString value = formatValue(line.point.value, axis);
        if (!line.unit.isEmpty())
            value += QLatin1Char(' ') + line.unit;
        lines << QStringLiteral("%1: %2").arg(line.title, value);
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace vardex::chart

#include "log/graph_points.h"

#include "chart/axis_format.h"
#include "link/device_image.h"

#include <QDate>
#include <QTime>

namespace vardex::log {

std::optional<double> recordTime(const LogRecord &r)
{
    const QDate date(2000 + r.year, r.month, r.day);
    const QTime time(r.hour, r.minute, r.second);
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return chart::wallSeconds(QDateTime(date, time, Qt::UTC));
}

std::optional<double> parameterValue(const LogRecord &r, int parameter,
                                     const TemperatureResolutions &resolutions)
{
    if (parameter >= 0 && parameter <= 4)
        return r.analog[std::size_t(parameter)];
    if (parameter >= 6 && parameter <= 11) {
        const std::size_t ch = std::size_t(parameter - 6);
        float scale = 0;
        if (!link::temperatureScale(resolutions[ch], &scale))
            return std::nullopt;
        return double(r.temperatures[ch]) * scale;
    }
    if (parameter >= 17 && parameter <= 20)
        return r.fanSpeeds[std::size_t(parameter - 17)];
    if (parameter >= 21 && parameter <= 24)
        return r.fanTasks[std::size_t(parameter - 21)];
    switch (parameter) {
    case 5:
        return r.mains;
    case 12:
        return r.ttlInputs;
    case 13:
        return r.ttlOutputState;
    case 14:
        return r.contacts;
    case 15:
        return r.relayState;
    case 16:
        return r.switchState;
    default:
        return std::nullopt;
    }
}

GraphPoints buildGraphPoints(const GraphSelection &sel, int count,
                             const std::function<LogRecord(int slot)> &recordAt,
                             const TemperatureResolutions &resolutions)
{
    GraphPoints out;
    if (sel.year < kMinGraphYear || sel.year > kMaxGraphYear)
        return out;
    const int from = std::max(1, sel.first);
    const int to = std::min(count, sel.last);
    for (int slot = from; slot <= to; ++slot) {
        const LogRecord r = recordAt(slot);
        if (r.year != sel.year)
            continue;
        const std::optional<double> x = recordTime(r);
        if (!x)
            continue;
        ++out.recordsDrawn;
        for (int n = 0; n < kGraphs; ++n) {
            if (!sel.enabled[std::size_t(n)])
                continue;
            const std::optional<double> y =
                parameterValue(r, sel.parameter[std::size_t(n)], resolutions);
            if (y)
                out.series[std::size_t(n)].push_back({*x, *y});
        }
    }
    return out;
}

std::optional<int> newestRecordYear(int count, const std::function<LogRecord(int slot)> &recordAt)
{
    std::optional<double> newest;
    int year = 0;
    for (int slot = 1; slot <= count; ++slot) {
        const LogRecord r = recordAt(slot);
        // Only years the wizard can offer: a damaged record far in the future would be
        // proposed as a year the edit cannot show.
        if (r.year < kMinGraphYear || r.year > kMaxGraphYear)
            continue;
        const std::optional<double> t = recordTime(r);
        if (t && (!newest || *t > *newest)) {
            newest = t;
            year = r.year;
        }
    }
    if (!newest)
        return std::nullopt;
    return year;
}

} // namespace vardex::log

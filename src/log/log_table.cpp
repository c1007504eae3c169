#include "log/log_table.h"

#include "link/device_image.h"

#include <charconv>
#include <optional>

namespace vardex::log {

using exporting::Cell;
using exporting::Table;

namespace {

QStringList logHeaders()
{
    QStringList h = {QStringLiteral("Number"), QStringLiteral("Day"),     QStringLiteral("Month"),
                     QStringLiteral("Year"),   QStringLiteral("Hours"),   QStringLiteral("Min"),
                     QStringLiteral("Sec"),    QStringLiteral("Contact"), QStringLiteral("TTLIn")};
    for (int i = 1; i <= 5; ++i)
        h << QStringLiteral("Analog_%1").arg(i);
    h << QStringLiteral("Power_220");
    for (int i = 1; i <= 6; ++i)
        h << QStringLiteral("Temper_%1").arg(i);
    for (int i = 1; i <= 4; ++i)
        h << QStringLiteral("FanTask_%1").arg(i) << QStringLiteral("FanSpeed_%1").arg(i);
    h << QStringLiteral("TTLOut") << QStringLiteral("Switchs") << QStringLiteral("Relays");
    for (int i = 1; i <= 8; ++i)
        h << QStringLiteral("Flags_%1").arg(i);
    return h;
}

Cell integer(std::int64_t v)
{
    return Cell(v);
}

// The double a reader expects of a float: its shortest decimal text (12.1, not
// 12.100000381469727).
Cell real(float v)
{
    char buffer[32];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, v);
    double d = 0;
    std::from_chars(buffer, r.ptr, d);
    return Cell(d);
}

} // namespace

Table buildLogTable(const RecordStore &store, const std::array<std::uint8_t, 6> &resolution)
{
    Table t;
    t.sheetName = QStringLiteral("Лог");
    t.headers = logHeaders();
    const int count = store.count();
    t.cells.reserve(static_cast<std::size_t>(count) * t.headers.size());
    std::array<std::optional<double>, 6> factor{};
    for (int k = 0; k < 6; ++k) {
        float scale = 0;
        if (link::temperatureScale(resolution[k], &scale))
            factor[k] = scale;
    }
    for (int slot = 1; slot <= count; ++slot) {
        const log::LogRecord r = store.record(slot);
        auto &c = t.cells;
        for (std::int64_t v :
             {std::int64_t{r.number}, std::int64_t{r.day}, std::int64_t{r.month},
              std::int64_t{r.year}, std::int64_t{r.hour}, std::int64_t{r.minute},
              std::int64_t{r.second}, std::int64_t{r.contacts}, std::int64_t{r.ttlInputs}})
            c.push_back(integer(v));
        for (float a : r.analog)
            c.push_back(real(a));
        c.push_back(real(r.mains));
        for (int k = 0; k < 6; ++k) {
            if (factor[k])
                c.push_back(Cell(r.temperatures[k] * *factor[k]));
            else
                c.push_back(Cell());
        }
        for (int f = 0; f < 4; ++f) {
            c.push_back(integer(r.fanTasks[f]));
            c.push_back(integer(r.fanSpeeds[f]));
        }
        c.push_back(integer(r.ttlOutputState));
        c.push_back(integer(r.switchState));
        c.push_back(integer(r.relayState));
        // The flag byte; the word's high byte is not part of the flags.
        for (std::uint16_t g : r.flagGroups)
            c.push_back(integer(g & 0xFF));
    }
    return t;
}

} // namespace vardex::log

#include "export/chart_table.h"

namespace vardex::exporting {

Table buildChartTable(const std::vector<ChartPoint> &points, const QStringList &seriesTitles)
{
    Table t;
    t.sheetName = QStringLiteral("График");
    t.headers = QStringList{QStringLiteral("Час"), QStringLiteral("Мин"), QStringLiteral("Сек")} +
                seriesTitles;
    t.cells.reserve(points.size() * static_cast<std::size_t>(t.headers.size()));
    for (const ChartPoint &p : points) {
        const QTime time = p.time.time();
        for (int part : {time.hour(), time.minute(), time.second()})
            t.cells.emplace_back(std::in_place_type<std::int64_t>, part);
        for (int s = 0; s < seriesTitles.size(); ++s) {
            const auto i = static_cast<std::size_t>(s);
            if (i < p.values.size())
                t.cells.emplace_back(std::in_place_type<double>, p.values[i]);
            else
                t.cells.emplace_back();
        }
    }
    return t;
}

} // namespace vardex::exporting

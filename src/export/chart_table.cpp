#include "export/chart_table.h"

#include <map>

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

namespace vardex::exporting {

Table buildShownChartTable(const chart::ChartModel &model)
{
    Table t;
    t.sheetName = QStringLiteral("График");
    t.headers << QStringLiteral("Время");
    std::vector<int> shown;
    for (int i = 0; i < model.seriesCount(); ++i) {
        if (model.series(i).visible) {
            shown.push_back(i);
            t.headers << chart::legendName(model.series(i).style);
        }
    }
    const chart::Range window = model.timeRange();
    // Row per time; the series of one log share their times, a live chart's may not.
    std::map<double, std::vector<Cell>> rows;
    for (std::size_t column = 0; column < shown.size(); ++column) {
        for (const chart::Point &p : model.series(shown[column]).points) {
            if (!window.contains(p.time))
                continue;
            std::vector<Cell> &row = rows[p.time];
            row.resize(shown.size());
            row[column] = Cell(std::in_place_type<double>, p.value);
        }
    }
    t.cells.reserve(rows.size() * std::size_t(t.headers.size()));
    for (const auto &[time, values] : rows) {
        t.cells.emplace_back(
            chart::fromWallSeconds(time).toString(QStringLiteral("dd.MM.yyyy hh:mm:ss")));
        for (const Cell &c : values)
            t.cells.push_back(c);
    }
    return t;
}

} // namespace vardex::exporting

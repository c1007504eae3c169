#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <variant>
#include <vector>

// What an export hands to a spreadsheet: a header row and data rows of cells that
// are integers, reals, texts or empty. Writers (CSV here, .xlsx in the platform
// layer) put it into a file as it stands.
namespace vardex::exporting {

using Cell = std::variant<std::monostate, std::int64_t, double, QString>;

struct Table {
    QString sheetName;
    QStringList headers;
    // Row-major, headers.size() cells per row.
    std::vector<Cell> cells;

    int columns() const { return static_cast<int>(headers.size()); }
    int rows() const { return columns() == 0 ? 0 : static_cast<int>(cells.size()) / columns(); }
    const Cell &at(int row, int column) const
    {
        return cells[static_cast<std::size_t>(row) * headers.size() +
                     static_cast<std::size_t>(column)];
    }
};

} // namespace vardex::exporting

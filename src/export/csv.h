#pragma once

#include "export/table.h"

#include <QByteArray>
#include <QLocale>
#include <QString>

namespace vardex::exporting {

// How a CSV separates fields and writes the decimal point. Scripts get "," and ".";
// a spreadsheet reads a CSV with its locale's conventions, and one whose decimal point
// is a comma splits "12.5,3" wrongly, so the window writes ";" and "12,5" there.
struct CsvFormat {
    char separator = ',';
    char decimal = '.';
    // A byte-order mark, without which spreadsheets take UTF-8 texts for an 8-bit
    // code page; scripts get none.
    bool byteOrderMark = false;

    static CsvFormat forScripts() { return {}; }
    static CsvFormat forLocale(const QLocale &locale);
    // For the engineer: "разделитель «;», десятичная запятая".
    QString description() const;
    friend bool operator==(const CsvFormat &, const CsvFormat &) = default;
};

// UTF-8 CSV, CRLF line ends, the header row first. Texts containing the separator, a
// quote or a line break are quoted with quotes doubled; reals are the shortest text that
// reads back as the same double, with the format's decimal sign; empty cells are empty.
QByteArray toCsv(const Table &table, const CsvFormat &format = CsvFormat::forScripts());

} // namespace vardex::exporting

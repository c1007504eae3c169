#include "export/csv.h"

#include <charconv>

namespace vardex::exporting {

namespace {

void appendText(QByteArray &out, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    if (!utf8.contains(',') && !utf8.contains('"') && !utf8.contains('\n') &&
        !utf8.contains('\r')) {
        out += utf8;
        return;
    }
    out += '"';
    for (char c : utf8) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

void appendCell(QByteArray &out, const Cell &cell)
{
    char buffer[32];
    if (const auto *i = std::get_if<std::int64_t>(&cell)) {
        const auto r = std::to_chars(buffer, buffer + sizeof buffer, *i);
        out.append(buffer, r.ptr - buffer);
    } else if (const auto *d = std::get_if<double>(&cell)) {
        const auto r = std::to_chars(buffer, buffer + sizeof buffer, *d);
        out.append(buffer, r.ptr - buffer);
    } else if (const auto *s = std::get_if<QString>(&cell)) {
        appendText(out, *s);
    }
}

} // namespace

QByteArray toCsv(const Table &table)
{
    QByteArray out;
    out.reserve(16 + table.cells.size() * 8);
    for (int c = 0; c < table.columns(); ++c) {
        if (c > 0)
            out += ',';
        appendText(out, table.headers[c]);
    }
    out += "\r\n";
    for (int r = 0; r < table.rows(); ++r) {
        for (int c = 0; c < table.columns(); ++c) {
            if (c > 0)
                out += ',';
            appendCell(out, table.at(r, c));
        }
        out += "\r\n";
    }
    return out;
}

} // namespace vardex::exporting

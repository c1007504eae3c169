#include "export/csv.h"

#include <charconv>

namespace vardex::exporting {

namespace {

void appendText(QByteArray &out, const QString &text, char separator)
{
    const QByteArray utf8 = text.toUtf8();
    if (!utf8.contains(separator) && !utf8.contains('"') && !utf8.contains('\n') &&
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

void appendCell(QByteArray &out, const Cell &cell, const CsvFormat &format)
{
    char buffer[32];
    if (const auto *i = std::get_if<std::int64_t>(&cell)) {
        const auto r = std::to_chars(buffer, buffer + sizeof buffer, *i);
        out.append(buffer, r.ptr - buffer);
    } else if (const auto *d = std::get_if<double>(&cell)) {
        const auto r = std::to_chars(buffer, buffer + sizeof buffer, *d);
        for (char *p = buffer; p != r.ptr; ++p) {
            if (*p == '.')
                *p = format.decimal;
        }
        out.append(buffer, r.ptr - buffer);
    } else if (const auto *s = std::get_if<QString>(&cell)) {
        appendText(out, *s, format.separator);
    }
}

} // namespace

CsvFormat CsvFormat::forLocale(const QLocale &locale)
{
    CsvFormat f;
    f.byteOrderMark = true;
    if (locale.decimalPoint() == QStringLiteral(",")) {
        f.separator = ';';
        f.decimal = ',';
    }
    return f;
}

QString CsvFormat::description() const
{
    return QStringLiteral("разделитель «%1», десятичная %2")
        .arg(QLatin1Char(separator))
        .arg(decimal == ',' ? QStringLiteral("запятая") : QStringLiteral("точка"));
}

QByteArray toCsv(const Table &table, const CsvFormat &format)
{
    QByteArray out;
    out.reserve(16 + table.cells.size() * 8);
    if (format.byteOrderMark)
        out += "\xEF\xBB\xBF";
    for (int c = 0; c < table.columns(); ++c) {
        if (c > 0)
            out += format.separator;
        appendText(out, table.headers[c], format.separator);
    }
    out += "\r\n";
    for (int r = 0; r < table.rows(); ++r) {
        for (int c = 0; c < table.columns(); ++c) {
            if (c > 0)
                out += format.separator;
            appendCell(out, table.at(r, c), format);
        }
        out += "\r\n";
    }
    return out;
}

} // namespace vardex::exporting

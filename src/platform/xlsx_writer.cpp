#include "platform/xlsx_writer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace vardex::platform {

namespace {

// Sheet names are at most 31 characters without []:*?/\ .
QString sheetName(const QString &wanted)
{
    QString name = wanted;
    for (QChar &c : name) {
        if (QStringLiteral("[]:*?/\\").contains(c))
            c = QLatin1Char('_');
    }
    name = name.left(31);
    return name.isEmpty() ? QStringLiteral("Sheet1") : name;
}

QString libraryReason(lxw_error error)
{
    QString reason = QString::fromUtf8(lxw_strerror(error));
    if (errno != 0)
        reason += QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
    return reason;
}

} // namespace

files::FileResult writeXlsx(const QString &path, const exporting::Table &table)
{
    files::FileResult result;
    result.path = path;
    const QString partial = path + QStringLiteral(".part");
    const QByteArray partialName = QFile::encodeName(partial);
    const QByteArray tmpDir = QFile::encodeName(QFileInfo(path).absolutePath());

    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = const_cast<char *>(tmpDir.constData());
    lxw_workbook *book = workbook_new_opt(partialName.constData(), &options);
    if (!book) {
        result.reason = QStringLiteral("cannot start the workbook");
        return result;
    }
    const QByteArray name = sheetName(table.sheetName).toUtf8();
    lxw_worksheet *sheet = workbook_add_worksheet(book, name.constData());
    lxw_format *bold = workbook_add_format(book);
    format_set_bold(bold);

    // Column widths first: in constant-memory mode they go out before the rows.
    for (int c = 0; c < table.columns(); ++c) {
        const double width = std::max(10.0, table.headers[c].size() + 2.0);
        worksheet_set_column(sheet, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c), width,
                             nullptr);
    }
    for (int c = 0; c < table.columns(); ++c) {
        const QByteArray text = table.headers[c].toUtf8();
        worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(c), text.constData(), bold);
    }
    for (int r = 0; r < table.rows(); ++r) {
        const auto row = static_cast<lxw_row_t>(r + 1);
        for (int c = 0; c < table.columns(); ++c) {
            const auto col = static_cast<lxw_col_t>(c);
            const exporting::Cell &cell = table.at(r, c);
            if (const auto *i = std::get_if<std::int64_t>(&cell)) {
                worksheet_write_number(sheet, row, col, static_cast<double>(*i), nullptr);
            } else if (const auto *d = std::get_if<double>(&cell)) {
                if (std::isfinite(*d))
                    worksheet_write_number(sheet, row, col, *d, nullptr);
            } else if (const auto *s = std::get_if<QString>(&cell)) {
                const QByteArray text = s->toUtf8();
                worksheet_write_string(sheet, row, col, text.constData(), nullptr);
            }
        }
    }
    errno = 0;
    const lxw_error closed = workbook_close(book);
    if (closed != LXW_NO_ERROR) {
        result.reason = libraryReason(closed);
        QFile::remove(partial);
        return result;
    }
    if (std::rename(partialName.constData(), QFile::encodeName(path).constData()) != 0) {
        result.reason = QString::fromLocal8Bit(std::strerror(errno));
        QFile::remove(partial);
        return result;
    }
    result.ok = true;
    return result;
}

} // namespace vardex::platform

#include "export/xlsx_workbook.h"

#include "export/xlsx_parts.h"
#include "export/zip_writer.h"

#include <string>

namespace vardex::exporting {

namespace {

// Large enough that deflate and the device see few calls, small enough to stay in cache.
constexpr std::size_t kChunk = 256 * 1024;

QByteArrayView view(const std::string &s)
{
    return QByteArrayView(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace

QString writeWorkbook(QIODevice &out, const Table &table, const QDateTime &created, int level)
{
    // The header row takes one of the sheet's rows.
    if (table.rows() > xlsx::kMaxRows - 1)
        return QStringLiteral("a sheet holds at most %1 rows, the table has %2")
            .arg(xlsx::kMaxRows - 1)
            .arg(table.rows());
    if (table.columns() > xlsx::kMaxColumns)
        return QStringLiteral("a sheet holds at most %1 columns, the table has %2")
            .arg(xlsx::kMaxColumns)
            .arg(table.columns());

    ZipWriter zip(out, level, created);
    const bool fixedParts = zip.addEntry(xlsx::kContentTypesName, xlsx::contentTypes()) &&
                            zip.addEntry(xlsx::kRootRelsName, xlsx::rootRels()) &&
                            zip.addEntry(xlsx::kCorePropsName, xlsx::coreProps(created)) &&
                            zip.addEntry(xlsx::kWorkbookName, xlsx::workbook(table.sheetName)) &&
                            zip.addEntry(xlsx::kWorkbookRelsName, xlsx::workbookRels()) &&
                            zip.addEntry(xlsx::kStylesName, xlsx::styles());
    if (!fixedParts || !zip.beginEntry(xlsx::kSheetName))
        return zip.error();

    const xlsx::SheetXml sheet(table);
    std::string chunk;
    chunk.reserve(kChunk + 64 * 1024);
    sheet.appendHead(chunk);
    const int rows = table.rows();
    for (int r = 0; r < rows; ++r) {
        sheet.appendRow(chunk, r);
        if (chunk.size() >= kChunk) {
            if (!zip.write(view(chunk)))
                return zip.error();
            chunk.clear();
        }
    }
    sheet.appendTail(chunk);
    if (!zip.write(view(chunk)) || !zip.endEntry() || !zip.finish())
        return zip.error();
    return {};
}

} // namespace vardex::exporting

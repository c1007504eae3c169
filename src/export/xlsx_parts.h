#pragma once

#include "export/table.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringView>

#include <string>
#include <vector>

// The parts of an Office Open XML workbook with one sheet, as text: the fixed
// package parts, and the sheet's XML produced row by row so it can be streamed.
// Texts are inline strings, so the sheet needs no table built over the whole table.
namespace vardex::exporting::xlsx {

// What one sheet can hold.
constexpr int kMaxRows = 1048576;
constexpr int kMaxColumns = 16384;
// The longest text a cell holds, in UTF-16 code units; longer texts are cut there.
constexpr int kMaxTextLength = 32767;

// Part names, and the fixed parts that name one another.
inline constexpr char kContentTypesName[] = "[Content_Types].xml";
inline constexpr char kRootRelsName[] = "_rels/.rels";
inline constexpr char kCorePropsName[] = "docProps/core.xml";
inline constexpr char kWorkbookName[] = "xl/workbook.xml";
inline constexpr char kWorkbookRelsName[] = "xl/_rels/workbook.xml.rels";
inline constexpr char kStylesName[] = "xl/styles.xml";
inline constexpr char kSheetName[] = "xl/worksheets/sheet1.xml";

QByteArray contentTypes();
QByteArray rootRels();
QByteArray coreProps(const QDateTime &created);
QByteArray workbook(const QString &sheetName);
QByteArray workbookRels();
// Two cell formats: 0 plain, 1 with a bold font (the header row).
QByteArray styles();

// A name the sheet may carry: at most 31 characters, none of []:*?/\ , not
// starting or ending with an apostrophe, never empty.
QString sheetName(const QString &wanted);
// "A", "Z", "AA", ... for a column counted from 0.
std::string columnLetters(int column);

// Appends text as UTF-8 XML character data. Markup characters become entities;
// characters XML 1.0 forbids (control characters other than tab, line feed and
// carriage return, unpaired surrogates, U+FFFE, U+FFFF) become U+FFFD; a carriage
// return is written as a character reference, as a parser would otherwise turn it
// into a line feed. quotes: also escape '"' (for attribute values).
void appendEscaped(std::string &out, QStringView text, bool quotes = false);

// The sheet's XML in three pieces: head (sheet properties, column widths and the
// bold header row), one piece per data row, tail. The table must outlive this.
class SheetXml {
public:
    explicit SheetXml(const Table &table);

    void appendHead(std::string &out) const;
    // Data row r counted from 0 (sheet row r + 2).
    void appendRow(std::string &out, int r) const;
    void appendTail(std::string &out) const;

    // Column width in the sheet's units for a header: wide enough for it, at least 10.
    static double columnWidth(const QString &header);

private:
    void appendCellStart(std::string &out, int column, const char *row,
                         std::size_t rowLength) const;

    const Table &m_table;
    std::vector<std::string> m_letters;
};

} // namespace vardex::exporting::xlsx

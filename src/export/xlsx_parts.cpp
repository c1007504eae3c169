#include "export/xlsx_parts.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <initializer_list>
#include <string>

namespace vardex::exporting::xlsx {

namespace {

constexpr char kXmlDecl[] = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
constexpr char kMainNs[] = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr char kRelNs[] = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr char kPackageRelNs[] = "http://schemas.openxmlformats.org/package/2006/relationships";

void appendUtf8(std::string &out, char32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

template <typename T> void appendNumber(std::string &out, T value)
{
    char digits[32];
    const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value);
    if (ec == std::errc())
        out.append(digits, end);
}

QByteArray bytes(const std::string &s)
{
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace

void appendEscaped(std::string &out, QStringView text, bool quotes)
{
    const qsizetype n = text.size();
    const QChar *p = text.data();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = p[i].unicode();
        if (u >= 0x20 && u < 0x80) {
            switch (u) {
            case '&':
                out.append("&amp;");
                break;
            case '<':
                out.append("&lt;");
                break;
            case '>':
                out.append("&gt;");
                break;
            case '"':
                if (quotes)
                    out.append("&quot;");
                else
                    out.push_back('"');
                break;
            default:
                out.push_back(static_cast<char>(u));
            }
        } else if (u < 0x20) {
            if (u == '\t' || u == '\n')
                out.push_back(static_cast<char>(u));
            else if (u == '\r')
                out.append("&#13;");
            else
                appendUtf8(out, 0xFFFD);
        } else if (QChar::isHighSurrogate(u)) {
            if (i + 1 < n && QChar::isLowSurrogate(p[i + 1].unicode())) {
                appendUtf8(out, QChar::surrogateToUcs4(u, p[i + 1].unicode()));
                ++i;
            } else {
                appendUtf8(out, 0xFFFD);
            }
        } else if (QChar::isLowSurrogate(u) || u == 0xFFFE || u == 0xFFFF) {
            appendUtf8(out, 0xFFFD);
        } else {
            appendUtf8(out, u);
        }
    }
}

QString sheetName(const QString &wanted)
{
    QString name = wanted;
    for (QChar &c : name) {
        if (QStringLiteral("[]:*?/\\").contains(c))
            c = QLatin1Char('_');
    }
    name = name.left(31);
    // Excel refuses an apostrophe at either end; it quotes names with one in formulas.
    if (name.startsWith(QLatin1Char('\'')))
        name[0] = QLatin1Char('_');
    if (name.endsWith(QLatin1Char('\'')))
        name[name.size() - 1] = QLatin1Char('_');
    return name.isEmpty() ? QStringLiteral("Sheet1") : name;
}

std::string columnLetters(int column)
{
    std::string letters;
    for (int n = column + 1; n > 0; n = (n - 1) / 26)
        letters.insert(letters.begin(), static_cast<char>('A' + (n - 1) % 26));
    return letters;
}

QByteArray contentTypes()
{
    std::string s = kXmlDecl;
    s += "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
         "<Default Extension=\"rels\" "
         "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
         "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
         "<Override PartName=\"/xl/workbook.xml\" ContentType=\"application/"
         "vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
         "<Override PartName=\"/xl/worksheets/sheet1.xml\" ContentType=\"application/"
         "vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
         "<Override PartName=\"/xl/styles.xml\" ContentType=\"application/"
         "vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
         "<Override PartName=\"/docProps/core.xml\" "
         "ContentType=\"application/vnd.openxmlformats-package.core-properties+xml\"/>"
         "</Types>";
    return bytes(s);
}

namespace {

// A relationships part: relationship n is rId<n>, of the given type and target.
struct Relationship {
    std::string type;
    const char *target;
};

QByteArray relationships(std::initializer_list<Relationship> list)
{
    std::string s = kXmlDecl;
    s += std::string("<Relationships xmlns=\"") + kPackageRelNs + "\">";
    int id = 0;
    for (const Relationship &r : list)
        s += "<Relationship Id=\"rId" + std::to_string(++id) + "\" Type=\"" + r.type +
             "\" Target=\"" + r.target + "\"/>";
    s += "</Relationships>";
    return bytes(s);
}

} // namespace

QByteArray rootRels()
{
    return relationships(
        {{std::string(kRelNs) + "/officeDocument", "xl/workbook.xml"},
         {std::string(kPackageRelNs) + "/metadata/core-properties", "docProps/core.xml"}});
}

QByteArray coreProps(const QDateTime &created)
{
    const std::string when =
        created.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ssZ")).toStdString();
    std::string s = kXmlDecl;
    s += "<cp:coreProperties "
         "xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/core-properties\" "
         "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
         "xmlns:dcterms=\"http://purl.org/dc/terms/\" "
         "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">"
         "<dcterms:created xsi:type=\"dcterms:W3CDTF\">" +
         when +
         "</dcterms:created>"
         "<dcterms:modified xsi:type=\"dcterms:W3CDTF\">" +
         when +
         "</dcterms:modified>"
         "</cp:coreProperties>";
    return bytes(s);
}

QByteArray workbook(const QString &name)
{
    std::string s = kXmlDecl;
    s += std::string("<workbook xmlns=\"") + kMainNs + "\" xmlns:r=\"" + kRelNs + "\">" +
         "<bookViews><workbookView/></bookViews><sheets><sheet name=\"";
    appendEscaped(s, sheetName(name), true);
    s += "\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>";
    return bytes(s);
}

QByteArray workbookRels()
{
    return relationships({{std::string(kRelNs) + "/worksheet", "worksheets/sheet1.xml"},
                          {std::string(kRelNs) + "/styles", "styles.xml"}});
}

QByteArray styles()
{
    std::string s = kXmlDecl;
    s += std::string("<styleSheet xmlns=\"") + kMainNs + "\">" +
         "<fonts count=\"2\">"
         "<font><sz val=\"11\"/><name val=\"Calibri\"/><family val=\"2\"/></font>"
         "<font><b/><sz val=\"11\"/><name val=\"Calibri\"/><family val=\"2\"/></font>"
         "</fonts>"
         "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
         "<fill><patternFill patternType=\"gray125\"/></fill></fills>"
         "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border>"
         "</borders>"
         "<cellStyleXfs count=\"1\">"
         "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellStyleXfs>"
         "<cellXfs count=\"2\">"
         "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>"
         "<xf numFmtId=\"0\" fontId=\"1\" fillId=\"0\" borderId=\"0\" xfId=\"0\" "
         "applyFont=\"1\"/>"
         "</cellXfs>"
         "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/>"
         "</cellStyles>"
         "</styleSheet>";
    return bytes(s);
}

SheetXml::SheetXml(const Table &table) : m_table(table)
{
    m_letters.reserve(static_cast<std::size_t>(table.columns()));
    for (int c = 0; c < table.columns(); ++c)
        m_letters.push_back(columnLetters(c));
}

double SheetXml::columnWidth(const QString &header)
{
    // Stored as the character count plus the cell padding (5 pixels at 7 per digit),
    // in 1/256 steps, which is how the spreadsheet itself stores a width it was given.
    const double characters = std::max(10.0, header.size() + 2.0);
    return std::floor((characters * 7 + 5) / 7 * 256) / 256;
}

void SheetXml::appendCellStart(std::string &out, int column, const char *row,
                               std::size_t rowLength) const
{
    out.append("<c r=\"");
    out.append(m_letters[static_cast<std::size_t>(column)]);
    out.append(row, rowLength);
    out.push_back('"');
}

void SheetXml::appendHead(std::string &out) const
{
    out += kXmlDecl;
    out += std::string("<worksheet xmlns=\"") + kMainNs + "\" xmlns:r=\"" + kRelNs + "\">";
    const int columns = m_table.columns();
    out += "<dimension ref=\"A1";
    if (columns > 0) {
        out += ':';
        out += m_letters.back();
        appendNumber(out, m_table.rows() + 1);
    }
    out += "\"/><sheetViews><sheetView workbookViewId=\"0\"/></sheetViews>"
           "<sheetFormatPr defaultRowHeight=\"15\"/>";
    if (columns > 0) {
        out += "<cols>";
        for (int c = 0; c < columns; ++c) {
            out += "<col min=\"";
            appendNumber(out, c + 1);
            out += "\" max=\"";
            appendNumber(out, c + 1);
            out += "\" width=\"";
            appendNumber(out, columnWidth(m_table.headers[c]));
            out += "\" customWidth=\"1\"/>";
        }
        out += "</cols>";
    }
    out += "<sheetData>";
    if (columns == 0)
        return;
    out += "<row r=\"1\">";
    for (int c = 0; c < columns; ++c) {
        appendCellStart(out, c, "1", 1);
        out += " s=\"1\" t=\"inlineStr\"><is><t xml:space=\"preserve\">";
        appendEscaped(out, QStringView(m_table.headers[c]).left(kMaxTextLength));
        out += "</t></is></c>";
    }
    out += "</row>";
}

void SheetXml::appendRow(std::string &out, int r) const
{
    char row[16];
    const auto rowEnd = std::to_chars(row, row + sizeof row, r + 2).ptr;
    const auto rowLength = static_cast<std::size_t>(rowEnd - row);
    out.append("<row r=\"");
    out.append(row, rowLength);
    out.append("\">");
    const int columns = m_table.columns();
    for (int c = 0; c < columns; ++c) {
        const Cell &cell = m_table.at(r, c);
        if (const auto *i = std::get_if<std::int64_t>(&cell)) {
            appendCellStart(out, c, row, rowLength);
            out.append("><v>");
            appendNumber(out, *i);
            out.append("</v></c>");
        } else if (const auto *d = std::get_if<double>(&cell)) {
            if (!std::isfinite(*d))
                continue;
            appendCellStart(out, c, row, rowLength);
            out.append("><v>");
            appendNumber(out, *d);
            out.append("</v></c>");
        } else if (const auto *s = std::get_if<QString>(&cell)) {
            appendCellStart(out, c, row, rowLength);
            out.append(" t=\"inlineStr\"><is><t xml:space=\"preserve\">");
            appendEscaped(out, QStringView(*s).left(kMaxTextLength));
            out.append("</t></is></c>");
        }
    }
    out.append("</row>");
}

void SheetXml::appendTail(std::string &out) const
{
    out += "</sheetData></worksheet>";
}

} // namespace vardex::exporting::xlsx

#include "export/xlsx_parts.h"
#include "export/xlsx_workbook.h"

#include <QBuffer>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace vardex;
namespace xlsx = exporting::xlsx;

namespace {

// The character data of the one element of doc, as an XML parser sees it.
QString parsedText(const std::string &doc, QString *error)
{
    QXmlStreamReader reader(QByteArray::fromStdString(doc));
    QString text;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isCharacters())
            text += reader.text();
    }
    if (reader.hasError())
        *error = reader.errorString();
    return text;
}

QString wellFormedError(const QByteArray &doc)
{
    QXmlStreamReader reader(doc);
    while (!reader.atEnd())
        reader.readNext();
    return reader.hasError() ? reader.errorString() : QString();
}

// A device that takes a number of bytes, then fails the way a full disk does.
class FullDisk : public QIODevice {
public:
    explicit FullDisk(qint64 room) : m_room(room) { open(QIODevice::WriteOnly); }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *, qint64 size) override
    {
        if (size > m_room) {
            setErrorString(QStringLiteral("No space left on device"));
            return -1;
        }
        m_room -= size;
        return size;
    }

private:
    qint64 m_room;
};

exporting::Table numbersTable(int rows, int columns)
{
    exporting::Table t;
    t.sheetName = QStringLiteral("Числа");
    for (int c = 0; c < columns; ++c)
        t.headers << QStringLiteral("Канал %1").arg(c);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            t.cells.emplace_back(r * 0.5 + c);
    return t;
}

} // namespace

TEST(XlsxParts, AwkwardTextsSurviveAnXmlParserWithForbiddenCharactersReplaced)
{
    const QString text = QStringLiteral("a&b<c>d\"e'f]]>g\th\ni\rj") + QChar(0x01) + QChar(0x1F) +
                         QStringLiteral("Привет") + QChar(0xD83D) + QChar(0xDE00) + // a pair
                         QChar(0xDC00) + QStringLiteral("k") + QChar(0xD800) +      // unpaired
                         QChar(0xFFFE) + QStringLiteral("  ");
    const QChar bad(0xFFFD);
    const QString expected = QStringLiteral("a&b<c>d\"e'f]]>g\th\ni\rj") + bad + bad +
                             QStringLiteral("Привет") + QChar(0xD83D) + QChar(0xDE00) + bad +
                             QStringLiteral("k") + bad + bad + QStringLiteral("  ");
    for (bool quotes : {false, true}) {
        std::string doc = "<t a=\"";
        xlsx::appendEscaped(doc, text, true);
        doc += "\">";
        xlsx::appendEscaped(doc, text, quotes);
        doc += "</t>";
        QString error;
        EXPECT_EQ(parsedText(doc, &error), expected) << doc;
        EXPECT_TRUE(error.isEmpty()) << error.toStdString() << " in " << doc;
        QXmlStreamReader reader(QByteArray::fromStdString(doc));
        reader.readNextStartElement();
        EXPECT_EQ(reader.attributes().value(QStringLiteral("a")).toString(),
                  QString(expected)
                      .replace(QLatin1Char('\t'), QLatin1Char(' '))
                      .replace(QLatin1Char('\n'), QLatin1Char(' ')))
            << "attribute value";
    }
}

TEST(XlsxParts, ColumnLettersRunFromAToTheLastColumn)
{
    EXPECT_EQ(xlsx::columnLetters(0), "A");
    EXPECT_EQ(xlsx::columnLetters(25), "Z");
    EXPECT_EQ(xlsx::columnLetters(26), "AA");
    EXPECT_EQ(xlsx::columnLetters(39), "AN");
    EXPECT_EQ(xlsx::columnLetters(701), "ZZ");
    EXPECT_EQ(xlsx::columnLetters(702), "AAA");
    EXPECT_EQ(xlsx::columnLetters(xlsx::kMaxColumns - 1), "XFD");
}

TEST(XlsxParts, SheetNamesAreMadeAcceptable)
{
    EXPECT_EQ(xlsx::sheetName(QStringLiteral("Лог")), QStringLiteral("Лог"));
    EXPECT_EQ(xlsx::sheetName(QStringLiteral("a[b]c:d*e?f/g\\h")),
              QStringLiteral("a_b_c_d_e_f_g_h"));
    EXPECT_EQ(xlsx::sheetName(QString(40, QLatin1Char('x'))).size(), 31);
    EXPECT_EQ(xlsx::sheetName(QStringLiteral("'quoted'")), QStringLiteral("_quoted_"));
    EXPECT_EQ(xlsx::sheetName(QString()), QStringLiteral("Sheet1"));
}

TEST(XlsxParts, EveryPartIsWellFormedXml)
{
    exporting::Table t;
    t.sheetName = QStringLiteral("A&B <\"x\">");
    t.headers = {QStringLiteral("x<y"), QStringLiteral("&"), QStringLiteral("z")};
    t.cells = {std::int64_t{1},      QStringLiteral("</t>]]>"),
               std::monostate{},     std::numeric_limits<double>::quiet_NaN(),
               QString(QChar(0x0B)), 2.5};
    const xlsx::SheetXml sheet(t);
    std::string sheetDoc;
    sheet.appendHead(sheetDoc);
    sheet.appendRow(sheetDoc, 0);
    sheet.appendRow(sheetDoc, 1);
    sheet.appendTail(sheetDoc);
    for (const QByteArray &doc :
         {xlsx::contentTypes(), xlsx::rootRels(), xlsx::coreProps(QDateTime::currentDateTime()),
          xlsx::workbook(t.sheetName), xlsx::workbookRels(), xlsx::styles(),
          QByteArray::fromStdString(sheetDoc)})
        EXPECT_EQ(wellFormedError(doc), QString()) << doc.toStdString();
}

TEST(XlsxParts, NumbersRoundTripAndNonFiniteRealsLeaveTheCellEmpty)
{
    const std::vector<double> reals{
        0.1, -0.0, 1.0 / 3.0, 5e-324, 1e21, std::numeric_limits<double>::max(), -123456.789};
    exporting::Table t;
    t.headers = {QStringLiteral("x")};
    for (double d : reals)
        t.cells.emplace_back(d);
    t.cells.emplace_back(std::numeric_limits<double>::infinity());
    t.cells.emplace_back(std::numeric_limits<std::int64_t>::min());
    const xlsx::SheetXml sheet(t);
    for (std::size_t r = 0; r < reals.size(); ++r) {
        std::string row;
        sheet.appendRow(row, static_cast<int>(r));
        const auto start = row.find("<v>");
        const auto end = row.find("</v>");
        ASSERT_NE(start, std::string::npos) << row;
        const double back = std::strtod(row.substr(start + 3, end - start - 3).c_str(), nullptr);
        EXPECT_EQ(back, reals[r]) << row;
        EXPECT_EQ(std::signbit(back), std::signbit(reals[r])) << row;
    }
    std::string infinite;
    sheet.appendRow(infinite, static_cast<int>(reals.size()));
    EXPECT_EQ(infinite.find("<c"), std::string::npos) << infinite;
    std::string integer;
    sheet.appendRow(integer, static_cast<int>(reals.size()) + 1);
    EXPECT_NE(integer.find("<v>-9223372036854775808</v>"), std::string::npos) << integer;
}

TEST(XlsxWorkbook, TableBeyondASheetsColumnsIsRefusedBeforeAnythingIsWritten)
{
    exporting::Table t;
    for (int c = 0; c <= xlsx::kMaxColumns; ++c)
        t.headers << QString::number(c);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    const QString failed = exporting::writeWorkbook(buffer, t, QDateTime::currentDateTime());
    EXPECT_TRUE(failed.contains(QString::number(xlsx::kMaxColumns))) << failed.toStdString();
    EXPECT_EQ(buffer.size(), 0);
}

TEST(XlsxWorkbook, FullDiskMidSheetIsReportedInTheDevicesWords)
{
    // Noise-free numbers compress well: the table is large enough to need many writes.
    const exporting::Table t = numbersTable(20000, 40);
    // One time for every write: the stamp is compressed with the rest, so another second
    // could change the workbook's size by a byte and leave room for all of it.
    const QDateTime when = QDateTime::currentDateTime();
    QBuffer whole;
    whole.open(QIODevice::WriteOnly);
    ASSERT_EQ(exporting::writeWorkbook(whole, t, when), QString());
    for (qint64 room : {qint64{10}, whole.size() / 2, whole.size() - 1}) {
        FullDisk disk(room);
        EXPECT_EQ(exporting::writeWorkbook(disk, t, when),
                  QStringLiteral("No space left on device"))
            << "room for " << room << " of " << whole.size() << " bytes";
    }
}

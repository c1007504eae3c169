#include "export/zip_writer.h"
#include "support/python_reader.h"
#include "support/test_support.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace vardex;
using exporting::ZipWriter;

namespace {

// Python's zipfile as the independent reader: testzip() checks every CRC-32.
const char *kZipReader = R"(
import hashlib, json, struct, sys, zipfile
raw = open(sys.argv[1], "rb").read()

def descriptor_agrees(i):
    # zipfile reads sizes and CRCs from the central directory only; other readers
    # stream and trust the local header and the data descriptor after the data.
    sig, = struct.unpack_from("<I", raw, i.header_offset)
    name_len, extra_len = struct.unpack_from("<HH", raw, i.header_offset + 26)
    name = raw[i.header_offset + 30:i.header_offset + 30 + name_len]
    end = i.header_offset + 30 + name_len + extra_len + i.compress_size
    d = struct.unpack_from("<IIII", raw, end)
    return (sig == 0x04034b50 and name == i.orig_filename.encode("utf-8")
            and d == (0x08074b50, i.CRC, i.compress_size, i.file_size))

with zipfile.ZipFile(sys.argv[1]) as z:
    bad = z.testzip()
    entries = [{"name": i.filename, "size": i.file_size, "method": i.compress_type,
                "sha": hashlib.sha256(z.read(i)).hexdigest(), "date": list(i.date_time),
                "descriptor": descriptor_agrees(i)}
               for i in z.infolist()]
print(json.dumps({"bad": bad, "entries": entries}))
)";

struct Part {
    QByteArray name;
    QByteArray bytes;
};

// Bytes deflate cannot shrink, so the compressed part outgrows one output buffer.
QByteArray noise(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    std::uint32_t x = 0x9E3779B9u;
    for (char &c : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x >> 24);
    }
    return bytes;
}

QByteArray repetitiveXml(int rows)
{
    QByteArray bytes;
    for (int r = 0; r < rows; ++r)
        bytes += "<row r=\"" + QByteArray::number(r) + "\"><c><v>" + QByteArray::number(r * 0.25) +
                 "</v></c></row>";
    return bytes;
}

QJsonObject readZip(const QString &python, const QByteArray &archive)
{
    const QString path = test::tempPath(QStringLiteral("archive.zip"));
    test::writeFile(path, archive);
    return test::runPythonReader(python, kZipReader, {path});
}

class ZipWriterLevels : public ::testing::TestWithParam<int> {};

} // namespace

TEST_P(ZipWriterLevels, ArchiveReadsBackWithEveryCrcAndSizeRight)
{
    const QString python = test::pythonWith(QStringLiteral("zipfile"));
    if (python.isEmpty())
        GTEST_SKIP() << "python3 is not installed: no independent reader";
    const std::vector<Part> parts{
        {"empty.txt", {}},
        {"xl/worksheets/sheet1.xml", repetitiveXml(20000)},
        {"noise.bin", noise(300 * 1024)},
        {"папка/файл.txt", QByteArrayLiteral("Привет, мир")},
    };
    const QDateTime modified(QDate(2026, 3, 14), QTime(15, 9, 27));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    ZipWriter zip(buffer, GetParam(), modified);
    for (const Part &part : parts) {
        ASSERT_TRUE(zip.beginEntry(part.name)) << zip.error().toStdString();
        // Odd-sized pieces, as a streaming producer hands them over.
        for (qsizetype at = 0; at < part.bytes.size(); at += 7777)
            ASSERT_TRUE(
                zip.write(QByteArrayView(part.bytes)
                              .sliced(at, std::min<qsizetype>(7777, part.bytes.size() - at))));
        ASSERT_TRUE(zip.endEntry()) << zip.error().toStdString();
    }
    ASSERT_TRUE(zip.finish()) << zip.error().toStdString();

    const QJsonObject read = readZip(python, buffer.data());
    EXPECT_TRUE(read[QStringLiteral("bad")].isNull())
        << "CRC mismatch in " << read[QStringLiteral("bad")].toString().toStdString();
    const QJsonArray entries = read[QStringLiteral("entries")].toArray();
    ASSERT_EQ(entries.size(), static_cast<qsizetype>(parts.size()));
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const QJsonObject e = entries[static_cast<qsizetype>(i)].toObject();
        EXPECT_EQ(e[QStringLiteral("name")].toString(), QString::fromUtf8(parts[i].name));
        EXPECT_EQ(e[QStringLiteral("size")].toInteger(), parts[i].bytes.size());
        EXPECT_EQ(e[QStringLiteral("method")].toInt(), 8) << "not deflated";
        EXPECT_TRUE(e[QStringLiteral("descriptor")].toBool())
            << "local header or data descriptor disagrees: " << parts[i].name.toStdString();
        EXPECT_EQ(e[QStringLiteral("sha")].toString().toLatin1(),
                  QCryptographicHash::hash(parts[i].bytes, QCryptographicHash::Sha256).toHex())
            << parts[i].name.toStdString();
        // The format keeps time in two-second steps.
        EXPECT_EQ(e[QStringLiteral("date")].toArray(), (QJsonArray{2026, 3, 14, 15, 9, 26}));
    }
}

INSTANTIATE_TEST_SUITE_P(Levels, ZipWriterLevels, ::testing::Values(0, 1, 9));

TEST(ZipWriter, PartBeyondTheSizeLimitIsRefusedAndNothingMoreIsWritten)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    ZipWriter zip(buffer, 1, QDateTime::currentDateTime(), 1000);
    ASSERT_TRUE(zip.beginEntry("a.xml"));
    EXPECT_TRUE(zip.write(QByteArray(1000, 'x')));
    EXPECT_FALSE(zip.write(QByteArray(1, 'x')));
    EXPECT_TRUE(zip.error().contains(QStringLiteral("1000"))) << zip.error().toStdString();
    const qint64 size = buffer.size();
    EXPECT_FALSE(zip.endEntry());
    EXPECT_FALSE(zip.finish());
    EXPECT_EQ(buffer.size(), size) << "an archive with a wrong size field was finished";
}

TEST(ZipWriter, ArchiveOutgrowingTheOffsetFieldsIsRefused)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    ZipWriter zip(buffer, 1, QDateTime::currentDateTime(), 400);
    bool refused = false;
    for (int i = 0; i < 20 && !refused; ++i)
        refused = !zip.addEntry("part" + QByteArray::number(i) + ".xml", noise(40));
    EXPECT_TRUE(refused);
    EXPECT_LE(buffer.size(), 400 + 30 + 16 + 60) << "wrote far past the limit";
    EXPECT_FALSE(zip.finish());
}

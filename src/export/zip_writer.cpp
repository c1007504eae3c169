#include "export/zip_writer.h"

#include <QIODevice>

#include <zlib.h>

#include <algorithm>
#include <climits>

namespace vardex::exporting {

namespace {

constexpr std::uint32_t kLocalHeaderSignature = 0x04034b50;
constexpr std::uint32_t kDescriptorSignature = 0x08074b50;
constexpr std::uint32_t kCentralHeaderSignature = 0x02014b50;
constexpr std::uint32_t kEndRecordSignature = 0x06054b50;
constexpr std::uint16_t kVersion = 20;            // 2.0: deflate
constexpr std::uint16_t kFlagDescriptor = 0x0008; // sizes and CRC follow the data
constexpr std::uint16_t kFlagUtf8 = 0x0800;
constexpr std::uint16_t kMethodDeflate = 8;

// Fixed parts of the records, field by field as the format lays them out.
constexpr int kLocalHeaderSize = 4 + 2 + 2 + 2 + 2 + 2 + 4 + 4 + 4 + 2 + 2;
constexpr int kDescriptorSize = 4 + 4 + 4 + 4;
constexpr int kCentralHeaderSize =
    4 + 2 + 2 + 2 + 2 + 2 + 2 + 4 + 4 + 4 + 2 + 2 + 2 + 2 + 2 + 4 + 4;
constexpr int kEndRecordSize = 4 + 2 + 2 + 2 + 2 + 4 + 4 + 2;
static_assert(kLocalHeaderSize == 30);
static_assert(kDescriptorSize == 16);
static_assert(kCentralHeaderSize == 46);
static_assert(kEndRecordSize == 22);

constexpr qsizetype kOutChunk = 128 * 1024;

void le16(QByteArray &out, std::uint16_t v)
{
    out.append(static_cast<char>(v & 0xFF));
    out.append(static_cast<char>(v >> 8));
}

void le32(QByteArray &out, std::uint32_t v)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.append(static_cast<char>((v >> shift) & 0xFF));
}

std::uint16_t flagsFor(const QByteArray &name)
{
    const bool ascii = std::all_of(name.begin(), name.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    return static_cast<std::uint16_t>(kFlagDescriptor | (ascii ? 0 : kFlagUtf8));
}

} // namespace

ZipWriter::ZipWriter(QIODevice &out, int level, const QDateTime &modified, std::uint64_t sizeLimit)
    : m_out(out), m_level(std::clamp(level, 0, 9)), m_limit(std::min(sizeLimit, kMaxSize)),
      m_zs(std::make_unique<z_stream_s>())
{
    // MS-DOS date and time: two-second steps, years 1980 to 2107.
    const QDate d = modified.date();
    const QTime t = modified.time();
    const int year = std::clamp(d.isValid() ? d.year() : 1980, 1980, 2107);
    m_dosDate = static_cast<std::uint16_t>(
        ((year - 1980) << 9) | ((d.isValid() ? d.month() : 1) << 5) | (d.isValid() ? d.day() : 1));
    m_dosTime =
        t.isValid()
            ? static_cast<std::uint16_t>((t.hour() << 11) | (t.minute() << 5) | (t.second() / 2))
            : 0;
    m_outBuffer.resize(kOutChunk);
}

ZipWriter::~ZipWriter()
{
    if (m_zsReady)
        deflateEnd(m_zs.get());
}

bool ZipWriter::fail(const QString &reason)
{
    if (!m_failed)
        m_error = reason;
    m_failed = true;
    return false;
}

bool ZipWriter::withinLimit(std::uint64_t value, const char *what)
{
    if (value <= m_limit)
        return true;
    return fail(QStringLiteral("%1 would exceed %2 bytes, the most a ZIP archive without ZIP64 "
                               "holds")
                    .arg(QString::fromLatin1(what))
                    .arg(m_limit));
}

bool ZipWriter::put(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return true;
    if (m_out.write(bytes.data(), bytes.size()) != bytes.size())
        return fail(m_out.errorString());
    m_written += static_cast<std::uint64_t>(bytes.size());
    return true;
}

bool ZipWriter::beginEntry(const QByteArray &name)
{
    if (m_failed)
        return false;
    if (m_inEntry || m_finished)
        return fail(QStringLiteral("archive entry out of order"));
    if (name.isEmpty() || name.size() > 0xFFFF)
        return fail(QStringLiteral("bad archive entry name"));
    if (m_entries.size() >= 0xFFFF)
        return fail(QStringLiteral("too many archive entries"));
    if (!withinLimit(m_written, "the archive"))
        return false;
    if (!m_zsReady) {
        *m_zs = z_stream_s{};
        // Negative window bits: raw deflate, as ZIP wants, without zlib's own header.
        if (deflateInit2(m_zs.get(), m_level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) !=
            Z_OK)
            return fail(QStringLiteral("cannot start deflate"));
        m_zsReady = true;
    } else if (deflateReset(m_zs.get()) != Z_OK) {
        return fail(QStringLiteral("cannot restart deflate"));
    }
    m_entry = Entry{};
    m_entry.name = name;
    m_entry.offset = m_written;
    m_entry.crc = static_cast<std::uint32_t>(crc32_z(0, nullptr, 0));

    QByteArray header;
    header.reserve(kLocalHeaderSize + name.size());
    le32(header, kLocalHeaderSignature);
    le16(header, kVersion);
    le16(header, flagsFor(name));
    le16(header, kMethodDeflate);
    le16(header, m_dosTime);
    le16(header, m_dosDate);
    le32(header, 0); // CRC-32, compressed and uncompressed sizes: in the descriptor
    le32(header, 0);
    le32(header, 0);
    le16(header, static_cast<std::uint16_t>(name.size()));
    le16(header, 0); // extra field length
    Q_ASSERT(header.size() == kLocalHeaderSize);
    header.append(name);
    m_inEntry = true;
    return put(header);
}

bool ZipWriter::deflateSome(int flush)
{
    z_stream_s &zs = *m_zs;
    int rc = Z_OK;
    do {
        zs.next_out = reinterpret_cast<Bytef *>(m_outBuffer.data());
        zs.avail_out = static_cast<uInt>(m_outBuffer.size());
        rc = deflate(&zs, flush);
        if (rc == Z_STREAM_ERROR)
            return fail(QStringLiteral("deflate failed"));
        const auto have = static_cast<qsizetype>(m_outBuffer.size() - zs.avail_out);
        m_entry.compressed += static_cast<std::uint64_t>(have);
        if (!withinLimit(m_entry.compressed, "a compressed part") ||
            !put(QByteArrayView(m_outBuffer.constData(), have)))
            return false;
    } while (zs.avail_out == 0 || (flush == Z_FINISH && rc != Z_STREAM_END));
    return true;
}

bool ZipWriter::write(QByteArrayView bytes)
{
    if (m_failed)
        return false;
    if (!m_inEntry)
        return fail(QStringLiteral("archive data outside an entry"));
    m_entry.uncompressed += static_cast<std::uint64_t>(bytes.size());
    if (!withinLimit(m_entry.uncompressed, "a part"))
        return false;
    const auto *data = reinterpret_cast<const Bytef *>(bytes.data());
    qsizetype left = bytes.size();
    while (left > 0) {
        const auto step = static_cast<uInt>(std::min<qsizetype>(left, UINT_MAX / 2));
        m_entry.crc = static_cast<std::uint32_t>(crc32_z(m_entry.crc, data, step));
        m_zs->next_in = const_cast<Bytef *>(data);
        m_zs->avail_in = step;
        if (!deflateSome(Z_NO_FLUSH))
            return false;
        data += step;
        left -= step;
    }
    return true;
}

bool ZipWriter::endEntry()
{
    if (m_failed)
        return false;
    if (!m_inEntry)
        return fail(QStringLiteral("archive entry out of order"));
    m_zs->next_in = nullptr;
    m_zs->avail_in = 0;
    if (!deflateSome(Z_FINISH))
        return false;
    QByteArray descriptor;
    descriptor.reserve(kDescriptorSize);
    le32(descriptor, kDescriptorSignature);
    le32(descriptor, m_entry.crc);
    le32(descriptor, static_cast<std::uint32_t>(m_entry.compressed));
    le32(descriptor, static_cast<std::uint32_t>(m_entry.uncompressed));
    Q_ASSERT(descriptor.size() == kDescriptorSize);
    m_inEntry = false;
    m_entries.push_back(std::move(m_entry));
    return put(descriptor);
}

bool ZipWriter::addEntry(const QByteArray &name, QByteArrayView bytes)
{
    return beginEntry(name) && write(bytes) && endEntry();
}

bool ZipWriter::finish()
{
    if (m_failed)
        return false;
    if (m_inEntry || m_finished)
        return fail(QStringLiteral("archive finished out of order"));
    const std::uint64_t directoryOffset = m_written;
    if (!withinLimit(directoryOffset, "the archive"))
        return false;
    QByteArray directory;
    for (const Entry &e : m_entries) {
        le32(directory, kCentralHeaderSignature);
        le16(directory, kVersion); // made by: MS-DOS attributes, version 2.0
        le16(directory, kVersion);
        le16(directory, flagsFor(e.name));
        le16(directory, kMethodDeflate);
        le16(directory, m_dosTime);
        le16(directory, m_dosDate);
        le32(directory, e.crc);
        le32(directory, static_cast<std::uint32_t>(e.compressed));
        le32(directory, static_cast<std::uint32_t>(e.uncompressed));
        le16(directory, static_cast<std::uint16_t>(e.name.size()));
        le16(directory, 0); // extra field length
        le16(directory, 0); // comment length
        le16(directory, 0); // disk number
        le16(directory, 0); // internal attributes
        le32(directory, 0); // external attributes
        le32(directory, static_cast<std::uint32_t>(e.offset));
        directory.append(e.name);
    }
    const auto directorySize = static_cast<std::uint64_t>(directory.size());
    if (!withinLimit(directoryOffset + directorySize, "the archive"))
        return false;
    const auto count = static_cast<std::uint16_t>(m_entries.size());
    const qsizetype endStart = directory.size();
    le32(directory, kEndRecordSignature);
    le16(directory, 0); // this disk
    le16(directory, 0); // disk with the directory
    le16(directory, count);
    le16(directory, count);
    le32(directory, static_cast<std::uint32_t>(directorySize));
    le32(directory, static_cast<std::uint32_t>(directoryOffset));
    le16(directory, 0); // comment length
    Q_ASSERT(directory.size() - endStart == kEndRecordSize);
    Q_UNUSED(endStart);
    if (!put(directory))
        return false;
    m_finished = true;
    return true;
}

} // namespace vardex::exporting

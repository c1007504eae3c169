#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

class QIODevice;
struct z_stream_s;

// A minimal ZIP container for the Office Open XML exports: deflated entries streamed
// to a device that need not seek, sizes and CRC-32 given in a data descriptor after
// each entry, then the central directory. No ZIP64: an archive that would outgrow
// the 32-bit fields is refused with a reason instead of written wrongly.
namespace vardex::exporting {

class ZipWriter {
public:
    // The limit of the 32-bit size and offset fields.
    static constexpr std::uint64_t kMaxSize = 0xFFFFFFFFu;

    // level: zlib's 0 (stored in deflate blocks) to 9; the device is open for writing.
    // sizeLimit lowers the format's limit, so the refusal can be seen without 4 GiB.
    ZipWriter(QIODevice &out, int level, const QDateTime &modified,
              std::uint64_t sizeLimit = kMaxSize);
    ~ZipWriter();
    ZipWriter(const ZipWriter &) = delete;
    ZipWriter &operator=(const ZipWriter &) = delete;

    bool beginEntry(const QByteArray &name);
    bool write(QByteArrayView bytes);
    bool endEntry();
    // beginEntry + write + endEntry.
    bool addEntry(const QByteArray &name, QByteArrayView bytes);
    // Writes the central directory; the archive is complete when this returns true.
    bool finish();

    // Why the last call failed: the device's words or a limit of the format.
    const QString &error() const { return m_error; }

private:
    struct Entry {
        QByteArray name;
        std::uint32_t crc = 0;
        std::uint64_t compressed = 0;
        std::uint64_t uncompressed = 0;
        std::uint64_t offset = 0;
    };

    bool put(QByteArrayView bytes);
    bool deflateSome(int flush);
    bool fail(const QString &reason);
    bool withinLimit(std::uint64_t value, const char *what);

    QIODevice &m_out;
    int m_level;
    std::uint64_t m_limit;
    std::uint16_t m_dosTime = 0;
    std::uint16_t m_dosDate = 0;
    std::unique_ptr<z_stream_s> m_zs;
    bool m_zsReady = false;
    bool m_inEntry = false;
    bool m_failed = false;
    bool m_finished = false;
    std::uint64_t m_written = 0; // bytes put on the device so far
    Entry m_entry;
    std::vector<Entry> m_entries;
    QByteArray m_outBuffer;
    QString m_error;
};

} // namespace vardex::exporting

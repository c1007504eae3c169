#pragma once

// Helpers of the file-loader fuzz targets: the input goes through a real file, so the
// loaders run exactly as they do for the engineer's files.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <cstdint>
#include <cstdlib>
#include <unistd.h>

namespace vardex::fuzz {

inline void check(bool ok)
{
    if (!ok)
        std::abort();
}

// One scratch file per process, in the temporary folder.
inline QString scratchPath(const char *suffix)
{
    return QDir::temp().filePath(
        QStringLiteral("vardex-fuzz-%1.%2").arg(::getpid()).arg(QLatin1String(suffix)));
}

inline void writeScratch(const QString &path, const std::uint8_t *data, std::size_t size)
{
    QFile f(path);
    check(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    check(f.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size)) ==
          static_cast<qint64>(size));
}

inline QByteArray readScratch(const QString &path)
{
    QFile f(path);
    check(f.open(QIODevice::ReadOnly));
    return f.readAll();
}

} // namespace vardex::fuzz

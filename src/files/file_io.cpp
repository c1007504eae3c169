#include "files/file_io.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vardex::files {

QString FileResult::message() const
{
    return QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(), reason);
}

namespace {

// "name (n).ext" beside path; n = 1 is path itself.
QString numberedName(const QString &path, int n)
{
    if (n == 1)
        return path;
    const QFileInfo info(path);
    const QString suffix = info.suffix();
    const QString stem = suffix.isEmpty() ? info.fileName() : info.completeBaseName();
    const QString tail = suffix.isEmpty() ? QString() : QStringLiteral(".") + suffix;
    return info.dir().filePath(QStringLiteral("%1 (%2)%3").arg(stem).arg(n).arg(tail));
}

} // namespace

QString freeFileName(const QString &path)
{
    for (int n = 1;; ++n) {
        const QString candidate = numberedName(path, n);
        if (!QFileInfo::exists(candidate))
            return candidate;
    }
}

FileResult reserveFreeName(const QString &path)
{
    FileResult r;
    r.path = path;
    // Bounded only so that a folder refusing every name in some odd way cannot spin.
    for (int n = 1; n <= 100000; ++n) {
        const QString candidate = numberedName(path, n);
        QFile file(candidate);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            r.ok = true;
            r.path = candidate;
            return r;
        }
        // Taken (by a file, a folder, a link, whatever it is): the next number. Any other
        // refusal would refuse every number alike.
        if (!QFileInfo(candidate).exists() && !QFileInfo(candidate).isSymLink()) {
            r.reason = file.errorString();
            return r;
        }
    }
    r.reason = QStringLiteral("нет свободного имени");
    return r;
}

FileResult saveAtomically(const QString &path, const QByteArray &bytes)
{
    FileResult r;
    r.path = path;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        r.reason = file.errorString();
        return r;
    }
    if (file.write(bytes) != bytes.size()) {
        r.reason = file.errorString();
        file.cancelWriting();
        return r;
    }
    if (!file.commit()) {
        r.reason = file.errorString();
        return r;
    }
    r.ok = true;
    return r;
}

ReadResult readBounded(const QString &path, qint64 maxBytes)
{
    ReadResult r;
    r.path = path;
    // A folder opens on some systems but holds no bytes of ours.
    if (QFileInfo(path).isDir()) {
        r.reason = QStringLiteral("Это каталог");
        return r;
    }
    // Opened without blocking and checked on the descriptor itself: a FIFO or a device
    // named like one of our files would otherwise hang the open or the read, and a file
    // swapped for one between a check by name and the open is caught too.
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        r.reason = QString::fromLocal8Bit(std::strerror(errno));
        return r;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        r.reason = QStringLiteral("Это не обычный файл");
        return r;
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        r.reason = file.errorString();
        ::close(fd);
        return r;
    }
    r.fileSize = file.size();
    const qint64 wanted = std::max<qint64>(0, std::min(maxBytes, r.fileSize));
    r.bytes.resize(wanted);
    qint64 got = 0;
    while (got < wanted) {
        const qint64 n = file.read(r.bytes.data() + got, wanted - got);
        if (n < 0) {
            r.reason = file.errorString();
            r.bytes.clear();
            return r;
        }
        if (n == 0)
            break; // shrank while we read
        got += n;
    }
    r.bytes.resize(got);
    r.ok = true;
    return r;
}

QString unexpectedSizeQuestion(const QString &path, qint64 size, const QString &expected)
{
    return QStringLiteral("Файл %1 имеет размер %2 байт, ожидается %3 байт.\n"
                          "Загрузить из него столько байт, сколько помещается?")
        .arg(QFileInfo(path).fileName())
        .arg(size)
        .arg(expected);
}

} // namespace vardex::files

#include "cli/watch_pending.h"

#include "cli/watch_command.h"
#include "files/file_io.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>

#include <cstdlib>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace vardex::cli {

namespace {

// Flushes the folder's entries (the rename into it) to the disk, so a record written just
// before a power cut is there afterwards.
bool syncFolder(const QString &dir)
{
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
#else
    Q_UNUSED(dir);
    return true;
#endif
}

} // namespace

namespace {

const QByteArray kFirstLine = QByteArrayLiteral("vardex pending switch-off 1");
// A record is a few short lines; anything bigger is not one of ours.
constexpr qint64 kMaxRecordBytes = 1024;
constexpr qsizetype kMaxFieldChars = 200;

bool printable(const QString &text)
{
    for (const QChar c : text)
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            return false;
    return true;
}

} // namespace

QString watchOutputWord(int item)
{
    if (item >= 0 && item < 4)
        return QStringLiteral("h%1").arg(item + 1);
    if (item >= 4 && item < 8)
        return QStringLiteral("l%1").arg(item - 3);
    if (item >= 8 && item < 14)
        return QStringLiteral("relay%1").arg(item - 7);
    return {};
}

QByteArray encodePending(const PendingSwitchOff &p)
{
    QByteArray out = kFirstLine + '\n';
    out += "output=" + watchOutputWord(p.output).toUtf8() + '\n';
    out += "serial=" + p.serial.left(kMaxFieldChars).toUtf8() + '\n';
    out += "node=" + p.node.left(kMaxFieldChars).toUtf8() + '\n';
    out += "since=" + p.since.toUTC().toString(Qt::ISODate).toUtf8() + '\n';
    return out;
}

std::optional<PendingSwitchOff> decodePending(const QByteArray &bytes, QString *why)
{
    auto refuse = [why](const QString &reason) -> std::optional<PendingSwitchOff> {
        if (why)
            *why = reason;
        return std::nullopt;
    };
    if (bytes.size() > kMaxRecordBytes)
        return refuse(QStringLiteral("больше %1 байт").arg(kMaxRecordBytes));
    QList<QByteArray> lines = bytes.split('\n');
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast(); // the last line's end
    if (lines.isEmpty() || lines.front() != kFirstLine)
        return refuse(QStringLiteral("не запись об отложенном выключении"));
    PendingSwitchOff p;
    bool seen[4] = {};
    const char *const keys[4] = {"output", "serial", "node", "since"};
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray &line = lines[i];
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0)
            return refuse(QStringLiteral("строка %1 без «ключ=значение»").arg(i + 1));
        const QByteArray key = line.left(eq);
        const QString value = QString::fromUtf8(line.mid(eq + 1));
        if (value.size() > kMaxFieldChars || !printable(value) ||
            value.toUtf8() != line.mid(eq + 1))
            return refuse(QStringLiteral("строка %1: недопустимое значение").arg(i + 1));
        int k = 0;
        while (k < 4 && key != keys[k])
            ++k;
        if (k == 4)
            return refuse(QStringLiteral("строка %1: неизвестный ключ").arg(i + 1));
        if (seen[k])
            return refuse(QStringLiteral("строка %1: ключ повторён").arg(i + 1));
        seen[k] = true;
        switch (k) {
        case 0:
            p.output = watchOutputItem(value);
            if (p.output < 0 || value != watchOutputWord(p.output))
                return refuse(QStringLiteral("неизвестный выход «%1»").arg(value));
            break;
        case 1:
            p.serial = value;
            break;
        case 2:
            p.node = value;
            break;
        default:
            p.since = QDateTime::fromString(value, Qt::ISODate);
            if (!p.since.isValid())
                return refuse(QStringLiteral("неверное время «%1»").arg(value));
            break;
        }
    }
    for (int k = 0; k < 4; ++k)
        if (!seen[k])
            return refuse(QStringLiteral("нет ключа %1").arg(QLatin1String(keys[k])));
    return p;
}

QString pendingStateDir(const EnvLookup &env)
{
    const QString systemd = env("STATE_DIRECTORY").section(QLatin1Char(':'), 0, 0);
    if (QDir::isAbsolutePath(systemd))
        return QDir::cleanPath(systemd);
    const QString xdg = env("XDG_STATE_HOME");
    if (QDir::isAbsolutePath(xdg))
        return QDir::cleanPath(xdg + QStringLiteral("/vardex"));
    const QString home = env("HOME");
    if (QDir::isAbsolutePath(home))
        return QDir::cleanPath(home + QStringLiteral("/.local/state/vardex"));
    return {};
}

QString pendingStateDir()
{
    return pendingStateDir([](const char *name) { return qEnvironmentVariable(name); });
}

PendingMatch matchPending(const PendingSwitchOff &pending, const QString &serial,
                          const QString &node)
{
    if (!pending.serial.isEmpty() && !serial.isEmpty())
        return pending.serial == serial ? PendingMatch::SameController
                                        : PendingMatch::OtherController;
    // Without both serial numbers, the node is all there is; a controller that is
    // plugged in again may get another one, and then it is not taken.
    return !pending.node.isEmpty() && pending.node == node ? PendingMatch::SameController
                                                           : PendingMatch::OtherController;
}

QString serialFilePart(const QString &serial)
{
    constexpr qsizetype kMaxChars = 64;
    QString part;
    for (const QChar c : serial.left(kMaxChars)) {
        const bool kept = (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
                          (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
                          (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
                          c == QLatin1Char('.') || c == QLatin1Char('-') || c == QLatin1Char('_');
        part += kept ? c : QLatin1Char('_');
    }
    if (!part.isEmpty() && part.count(QLatin1Char('.')) == part.size())
        part = QStringLiteral("_");
    return part;
}

PendingStore::PendingStore(QString dir, int output, const QString &serial) : m_dir(std::move(dir))
{
    if (m_dir.isEmpty())
        return;
    const QString word = watchOutputWord(output);
    m_legacyPath = m_dir + QStringLiteral("/switch-off-%1.pending").arg(word);
    m_path =
        serial.isEmpty()
            ? m_legacyPath
            : m_dir + QStringLiteral("/switch-off-%1-%2.pending").arg(serialFilePart(serial), word);
}

namespace {

PendingStore::Loaded loadRecord(const QString &path)
{
    PendingStore::Loaded l;
    l.path = path;
    const QFileInfo info(path);
    if (path.isEmpty() || (!info.exists() && !info.isSymLink()))
        return l;
    l.state = PendingStore::Loaded::State::Unreadable;
    // A pipe or a device there would block the start or never end.
    if (!info.isFile()) {
        l.why = QStringLiteral("не обычный файл");
        return l;
    }
    // One byte over the bound is enough to refuse a bigger file.
    const files::ReadResult r = files::readBounded(path, kMaxRecordBytes + 1);
    if (!r.ok) {
        l.why = r.reason;
        return l;
    }
    const auto p = decodePending(r.bytes, &l.why);
    if (p) {
        l.state = PendingStore::Loaded::State::Valid;
        l.pending = *p;
    }
    return l;
}

bool removeRecord(const QString &path, QString *why)
{
    if (path.isEmpty() || !QFileInfo::exists(path))
        return true;
    QFile file(path);
    if (file.remove())
        return true;
    *why = QStringLiteral("%1: %2").arg(path, file.errorString());
    return false;
}

} // namespace

PendingStore::Loaded PendingStore::load() const
{
    Loaded l = loadRecord(m_path);
    if (l.state == Loaded::State::None && m_legacyPath != m_path)
        l = loadRecord(m_legacyPath);
    return l;
}

bool PendingStore::save(const PendingSwitchOff &pending, QString *why) const
{
    if (m_path.isEmpty()) {
        *why = QStringLiteral("не задан каталог состояния (нет STATE_DIRECTORY, "
                              "XDG_STATE_HOME и HOME)");
        return false;
    }
    if (!QDir().mkpath(m_dir)) {
        *why = QStringLiteral("%1: каталог не создаётся").arg(m_dir);
        return false;
    }
    const files::FileResult r = files::saveAtomically(m_path, encodePending(pending));
    if (!r.ok) {
        *why = r.message();
        return false;
    }
    // The rename must survive a power cut during the pulse as well as the bytes.
    if (!syncFolder(m_dir)) {
        *why = QStringLiteral("%1: каталог не сброшен на диск").arg(m_dir);
        return false;
    }
    return true;
}

bool PendingStore::remove(QString *why, bool alsoLegacy) const
{
    const bool removed = removeRecord(m_path, why);
    if (!alsoLegacy || m_legacyPath == m_path)
        return removed;
    return removeRecord(m_legacyPath, why) && removed;
}

} // namespace vardex::cli

#include "log/sensor_resolutions.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>

namespace vardex::log {

namespace {

constexpr qint64 kCompanionMaxBytes = 4096;
const QByteArray kMagic = QByteArrayLiteral("vardex sensors 1");
const QByteArray kKey = QByteArrayLiteral("resolution");

} // namespace

QString unknownResolutionText()
{
    return QCoreApplication::translate(
        "log", "Разрешение датчиков температуры неизвестно: температуры посчитаны по коду 0 "
               "(0.5 °C на отсчёт) и могут быть завышены до 8 раз. Прочитайте описание "
               "контроллера или загрузите конфигурацию.");
}

QString companionPath(const QString &logPath)
{
    const QFileInfo info(logPath);
    const QString base = info.suffix().compare(QLatin1String("log"), Qt::CaseInsensitive) == 0
                             ? info.completeBaseName()
                             : info.fileName();
    return info.dir().filePath(base + QStringLiteral(".sensors"));
}

QByteArray encodeCompanion(const TemperatureResolutions &codes)
{
    QByteArray out = kMagic + '\n' + kKey;
    for (std::uint8_t c : codes)
        out += ' ' + QByteArray::number(c);
    out += '\n';
    return out;
}

std::optional<TemperatureResolutions> decodeCompanion(const QByteArray &bytes)
{
    const QList<QByteArray> lines = bytes.split('\n');
    if (lines.isEmpty() || lines.first().trimmed() != kMagic)
        return std::nullopt;
    for (const QByteArray &line : lines) {
        const QList<QByteArray> words = line.simplified().split(' ');
        if (words.first() != kKey)
            continue;
        if (words.size() != 1 + kSensors)
            return std::nullopt;
        TemperatureResolutions codes{};
        for (int k = 0; k < kSensors; ++k) {
            bool ok = false;
            const int code = words[k + 1].toInt(&ok);
            if (!ok || code < 0 || code > 3)
                return std::nullopt;
            codes[std::size_t(k)] = std::uint8_t(code);
        }
        return codes;
    }
    return std::nullopt;
}

files::FileResult saveCompanion(const QString &logPath,
                                const std::optional<TemperatureResolutions> &codes)
{
    const QString path = companionPath(logPath);
    if (codes)
        return files::saveAtomically(path, encodeCompanion(*codes));
    files::FileResult r;
    r.path = path;
    QFile stale(path);
    r.ok = !stale.exists() || stale.remove();
    if (!r.ok)
        r.reason = stale.errorString();
    return r;
}

std::optional<TemperatureResolutions> loadCompanion(const QString &logPath)
{
    const QString path = companionPath(logPath);
    if (!QFileInfo::exists(path))
        return std::nullopt;
    // Whatever is there, only a small regular file is read (files::readBounded refuses
    // anything else without waiting on it).
    const files::ReadResult read = files::readBounded(path, kCompanionMaxBytes);
    if (!read.ok || read.truncated())
        return std::nullopt;
    return decodeCompanion(read.bytes);
}

} // namespace vardex::log

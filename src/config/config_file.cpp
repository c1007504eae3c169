#include "config/config_file.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

namespace vardex::config {

using link::MonitorConfig;

FileResult saveConfigFile(const QString &path, const MonitorConfig &config)
{
    const MonitorConfig::Bytes bytes = config.encode();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {false, file.errorString()};
    const qint64 size = static_cast<qint64>(bytes.size());
    if (file.write(reinterpret_cast<const char *>(bytes.data()), size) != size) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return {false, reason};
    }
    if (!file.commit())
        return {false, file.errorString()};
    return {true, {}};
}

FileResult loadConfigFile(const QString &path, MonitorConfig &config)
{
    QFile file(path);
    if (QFileInfo(path).isDir())
        return {false, QStringLiteral("Это каталог")};
    if (!file.open(QIODevice::ReadOnly))
        return {false, file.errorString()};
    MonitorConfig::Bytes bytes{};
    qint64 got = 0;
    // A pipe or a slow device may deliver the block in pieces.
    while (got < static_cast<qint64>(bytes.size())) {
        const qint64 n = file.read(reinterpret_cast<char *>(bytes.data()) + got,
                                   static_cast<qint64>(bytes.size()) - got);
        if (n < 0)
            return {false, file.errorString()};
        if (n == 0)
            break;
        got += n;
    }
    config.overlay(std::span<const std::uint8_t>(bytes.data(), static_cast<std::size_t>(got)));
    return {true, {}};
}

void clearConfig(MonitorConfig &c)
{
    c.hardwareConfigNumber = 0;
    c.contactEnable = 0;
    c.ttlInputEnable = 0;
    c.analogEnable = 0;
    for (int i = 0; i < link::kAnalogChannels; ++i) {
        c.analogA[i] = 1.0f;
        c.analogB[i] = 0.0f;
        c.analogAlarmDebounce[i] = 1;
        c.analogAlarmLow[i] = 0;
        c.analogAlarmHigh[i] = 1023;
    }
    c.temperEnable = 0;
    for (int i = 0; i < link::kSensors; ++i) {
        c.dallasResolution[i] = 0;
        c.dallasAlarmDebounce[i] = 1;
        c.temperAlarmLow[i] = 0;
        c.temperAlarmHigh[i] = 200; // 100 degrees at 0.5
    }
    c.ttlOutputEnable = 0;
    c.switchEnable = 0;
    c.relayEnable = 0;
    c.fanEnable = 0;
    for (int i = 0; i < link::kFans; ++i) {
        c.fanMin[i] = 10;
        c.fanImpulse[i] = 2; // 8 pulses per revolution
    }
    c.logPeriod = 4;      // "5 мин"
    c.logAlarmPeriod = 2; // "1 мин"
    c.analogLogEnable = 0;
    c.dallasLogEnable = 0;
}

QString configDisplayName(const QString &path)
{
    return QFileInfo(path).completeBaseName();
}

} // namespace vardex::config

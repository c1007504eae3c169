#include "config/config_file.h"

#include <QFileInfo>

#include <algorithm>

namespace vardex::config {

using link::MonitorConfig;

FileResult saveConfigFile(const QString &path, const MonitorConfig &config)
{
    const MonitorConfig::Bytes bytes = config.encode();
    return files::saveAtomically(path, QByteArray(reinterpret_cast<const char *>(bytes.data()),
                                                  static_cast<qsizetype>(bytes.size())));
}

files::ReadResult readConfigFile(const QString &path)
{
    return files::readBounded(path, kConfigFileSize);
}

void applyConfigFile(const QByteArray &bytes, MonitorConfig &config)
{
    config.overlay(
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t *>(bytes.data()),
                                      static_cast<std::size_t>(bytes.size())));
}

bool applyConfigFileBytes(std::span<const std::uint8_t> file, MonitorConfig &config, bool overlay)
{
    if (!isConfigFileSize(static_cast<qint64>(file.size())) && !overlay)
        return false;
    config.overlay(file);
    return true;
}

FileResult loadConfigFile(const QString &path, MonitorConfig &config)
{
    const files::ReadResult file = readConfigFile(path);
    if (file.ok)
        applyConfigFile(file.bytes, config);
    return file;
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

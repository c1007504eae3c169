#pragma once

#include "files/dialog_filters.h"

#include "link/device_image.h"

#include <QString>

// The *.cfg file: exactly the 224 bytes of MonitorConfig, no header, no checksum
// (layout and offsets at MonitorConfig::encode()).
namespace vardex::config {

// The shared file dialogs of the main window; *.cfg is their second entry.
using files::kOpenDialogFilter;
using files::kSaveDialogFilter;
inline constexpr int kCfgFilterIndex = 2;
inline const QString kCfgSuffix = QStringLiteral("cfg");
inline const QString kSaveTitle = QStringLiteral("Сохранить конфигурацию монитора терминала");
inline const QString kOpenTitle = QStringLiteral("Открыть конфигурацию монитора терминала");

struct FileResult {
    bool ok = false;
    QString error; // the system's reason when !ok
};

// Replaces the file with the 224 bytes, atomically: a failed save leaves an
// existing file as it was.
FileResult saveConfigFile(const QString &path, const link::MonitorConfig &config);

// Reads at most 224 bytes from the start of the file and lays them over config:
// a short file replaces only its leading bytes, bytes past 224 are never read.
// On failure config is unchanged. Values are not validated (a file is a dump).
FileResult loadConfigFile(const QString &path, link::MonitorConfig &config);

// The editor's defaults. The version bytes, Reserved0 and the fill stay.
void clearConfig(link::MonitorConfig &config);

// What ConfigNameLabel shows: the name without folder and extension.
QString configDisplayName(const QString &path);

} // namespace vardex::config

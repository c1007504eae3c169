#pragma once

#include "files/dialog_filters.h"
#include "files/file_io.h"

#include "link/device_image.h"

#include <QString>

#include <span>

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

using files::FileResult;

inline constexpr qint64 kConfigFileSize = link::MonitorConfig::kSize;
static_assert(kConfigFileSize == 224);

// Replaces the file with the 224 bytes, atomically: a failed save leaves an
// existing file as it was.
FileResult saveConfigFile(const QString &path, const link::MonitorConfig &config);

// Reads at most 224 bytes from the start of the file and lays them over config:
// a short file replaces only its leading bytes, bytes past 224 are never read.
// On failure config is unchanged. Values are not validated (a file is a dump).
FileResult loadConfigFile(const QString &path, link::MonitorConfig &config);
// The two halves of a load, for a page that asks about an odd size in between:
// the bounded read (its fileSize tells the size on disk), then the overlay.
files::ReadResult readConfigFile(const QString &path);
void applyConfigFile(const QByteArray &bytes, link::MonitorConfig &config);

// The rule for a file that is to reach a controller: only the format's own size is a
// whole configuration. Any other size is laid over a configuration already there only
// when the engineer asks for it (the window's question, the command line's --overlay).
inline bool isConfigFileSize(qint64 size)
{
    return size == kConfigFileSize;
}
inline const QString kConfigFileSizes = QStringLiteral("224");
// The rule on a file held in memory: a whole file is laid over config; another size only
// with overlay. Returns whether config was touched.
bool applyConfigFileBytes(std::span<const std::uint8_t> file, link::MonitorConfig &config,
                          bool overlay);

// The editor's defaults. The version bytes, Reserved0 and the fill stay.
void clearConfig(link::MonitorConfig &config);

// What ConfigNameLabel shows: the name without folder and extension.
QString configDisplayName(const QString &path);

} // namespace vardex::config

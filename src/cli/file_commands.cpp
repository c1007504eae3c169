#include "cli/commands.h"

#include "config/cfg_exchange.h"
#include "config/config_diff.h"
#include "config/config_file.h"
#include "link/data_module.h"
#include "loops/loop_diff.h"
#include "loops/loop_file.h"
#include "loops/loop_transfer.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

namespace vardex::cli {

namespace {

void addFile(CommandRun &r)
{
    r.report.add(QStringLiteral("file"), r.invocation.file, QStringLiteral("Файл"),
                 r.invocation.file);
}

// A file read for a write or a comparison: it must be the format's own size, unless the
// engineer asked for it to be laid over what the controller holds (--overlay).
std::optional<files::ReadResult> readWhole(CommandRun &r, files::ReadResult file, bool wholeSize,
                                           const QString &expected)
{
    if (!file.ok) {
        r.error = QStringLiteral("не удалось прочитать %1: %2").arg(r.invocation.file, file.reason);
        return std::nullopt;
    }
    if (!wholeSize && !r.invocation.overlay) {
        r.error = QStringLiteral("%1: %2 байт, а ожидается %3 байт; файл не записан (--overlay "
                                 "положит его начало поверх того, что хранит контроллер)")
                      .arg(QFileInfo(r.invocation.file).fileName())
                      .arg(file.fileSize)
                      .arg(expected);
        return std::nullopt;
    }
    return file;
}

std::span<const std::uint8_t> bytesOf(const QByteArray &bytes)
{
    return {reinterpret_cast<const std::uint8_t *>(bytes.data()),
            static_cast<std::size_t>(bytes.size())};
}

// The diff as rows ("caption  controller → file") and as a JSON list.
int reportChanges(CommandRun &r, const FieldChanges &changes)
{
    QJsonArray list;
    for (const FieldChange &c : changes) {
        QJsonObject o{{QStringLiteral("field"), c.key},
                      {QStringLiteral("caption"), c.caption},
                      {QStringLiteral("controller"), c.controller},
                      {QStringLiteral("file"), c.file}};
        if (c.loop > 0)
            o.insert(QStringLiteral("loop"), c.loop);
        list.append(o);
        r.report.addRow(c.caption, QStringLiteral("%1 → %2").arg(c.controller, c.file));
    }
    r.report.json.insert(QStringLiteral("changes"), list);
    r.report.add(QStringLiteral("differs"), !changes.empty(), QStringLiteral("Итог"),
                 changes.empty() ? QStringLiteral("запись ничего не изменит")
                                 : QStringLiteral("запись изменит полей: %1").arg(changes.size()));
    return changes.empty() ? kExitOk : kExitDiffers;
}

int checked(CommandRun &r, const link::WriteCheck &check, const QString &parts)
{
    r.watch.finish();
    const QString text = link::writeCheckText(check, parts);
    if (!check.verified()) {
        // A stop or a missing answer says so; a read-back unlike the file says that.
        if (check.differing.empty() && !check.result.ok())
            return controllerFailure(r, text);
        r.error = text;
        return kExitController;
    }
    addFile(r);
    r.report.add(QStringLiteral("verified"), true, QStringLiteral("Проверка"), text);
    return kExitOk;
}

} // namespace

int configRead(CommandRun &r)
{
    if (!readConfiguration(r))
        return controllerFailure(r, QStringLiteral("конфигурация не прочитана"));
    const auto saved = config::saveConfigFile(r.invocation.file, r.dm.image().config);
    if (!saved.ok) {
        r.error = QStringLiteral("не удалось записать %1: %2").arg(r.invocation.file, saved.reason);
        return kExitUsage;
    }
    addFile(r);
    return kExitOk;
}

namespace {

// The file as the controller's configuration would become: read the controller first,
// lay the file's bytes over it. Exit code on failure, 0 when image.config is the wanted.
int prepareConfig(CommandRun &r, link::MonitorConfig *held)
{
    files::ReadResult raw = config::readConfigFile(r.invocation.file);
    const qint64 size = raw.fileSize;
    const auto file =
        readWhole(r, std::move(raw), config::isConfigFileSize(size), config::kConfigFileSizes);
    if (!file)
        return kExitUsage;
    // Read first: what a whole file leaves alone (the version bytes) and what a short
    // one does not cover stay the controller's own.
    if (!readConfiguration(r))
        return controllerFailure(r, QStringLiteral("конфигурация не прочитана"));
    *held = r.dm.image().config;
    config::applyConfigFile(file->bytes, r.dm.image().config);
    return kExitOk;
}

} // namespace

int configWrite(CommandRun &r)
{
    link::MonitorConfig held;
    if (const int code = prepareConfig(r, &held); code != kExitOk)
        return code;
    return checked(r, config::writeConfigChecked(r.ctx), QStringLiteral("страницы"));
}

// A diff that could not read the controller knows nothing of what would change.
int diffFailure(int code)
{
    return code == kExitController ? kExitDiffUnknown : code;
}

int configDiff(CommandRun &r)
{
    link::MonitorConfig held;
    if (const int code = prepareConfig(r, &held); code != kExitOk)
        return diffFailure(code);
    const link::MonitorConfig wanted = r.dm.image().config;
    r.dm.image().config = held;
    addFile(r);
    return reportChanges(r, config::diffConfig(held, wanted));
}

int loopsRead(CommandRun &r)
{
    if (!readConfiguration(r))
        return controllerFailure(r, QStringLiteral("конфигурация не прочитана"));
    const link::OpResult read = loops::readAllLoops(r.ctx);
    r.watch.finish();
    if (!read.ok() || r.watch.failed())
        return controllerFailure(r, QStringLiteral("чтение прервано"));
    const auto saved = loops::saveLoopFile(r.invocation.file, r.dm.image());
    if (!saved.ok) {
        r.error = QStringLiteral("не удалось записать %1: %2").arg(r.invocation.file, saved.reason);
        return kExitUsage;
    }
    addFile(r);
    r.report.add(QStringLiteral("loops"), link::kLoopCount, QStringLiteral("Контуров"),
                 QString::number(link::kLoopCount));
    return kExitOk;
}

namespace {

// The controller's loops with the file laid over them. They are read first whenever the
// file does not cover everything the controller keeps (a 2132-byte file on firmware with
// extended records, an overlay) and always for a comparison.
int prepareLoops(CommandRun &r, bool readAlways, link::DeviceImage *held)
{
    // The firmware version decides whether the file's extended records count.
    if (!readConfiguration(r))
        return controllerFailure(r, QStringLiteral("конфигурация не прочитана"));
    files::ReadResult raw = loops::readLoopFile(r.invocation.file, r.dm.image());
    const qint64 size = raw.fileSize;
    const auto file =
        readWhole(r, std::move(raw), loops::isLoopFileSize(size), loops::kLoopFileSizes);
    if (!file)
        return kExitUsage;
    const bool coversAll =
        loops::isLoopFileSize(size) &&
        (!r.dm.image().hasExtendedLoops() ||
         size == static_cast<qint64>(loops::kLoopFileMainSize + loops::kLoopFileExtSize));
    if (readAlways || !coversAll) {
        loops::ReadAllOptions options;
        options.stopAtMiss = true;
        const link::OpResult read = loops::readAllLoops(r.ctx, options);
        r.watch.finish();
        if (!read.ok() || r.watch.failed())
            return controllerFailure(
                r, QStringLiteral("контуры контроллера не прочитаны: файл не записан"));
    }
    *held = r.dm.image();
    loops::applyLoopFile(bytesOf(file->bytes), r.dm.image());
    return kExitOk;
}

} // namespace

int loopsWrite(CommandRun &r)
{
    link::DeviceImage held;
    if (const int code = prepareLoops(r, false, &held); code != kExitOk)
        return code;
    const link::WriteCheck check = loops::writeAllLoopsChecked(r.ctx);
    if (check.result.status == link::OpStatus::VerifyFailed) {
        r.error = QStringLiteral("проверка контура %1 не прошла: контроллер хранит не то, что "
                                 "записано")
                      .arg(check.result.step);
        return kExitController;
    }
    return checked(r, check, QStringLiteral("контуры"));
}

int loopsDiff(CommandRun &r)
{
    link::DeviceImage held;
    if (const int code = prepareLoops(r, true, &held); code != kExitOk)
        return diffFailure(code);
    const link::DeviceImage wanted = r.dm.image();
    r.dm.image().loops = held.loops;
    r.dm.image().loopExts = held.loopExts;
    addFile(r);
    return reportChanges(r, loops::diffLoops(held, wanted, held.config, held.hasExtendedLoops()));
}

} // namespace vardex::cli

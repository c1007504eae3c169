#include "cli/commands.h"

#include "common/channel_names.h"
#include "config/cfg_exchange.h"
#include "config/config_file.h"
#include "link/data_module.h"
#include "link/protocol.h"
#include "link/reply_table.h"
#include "loops/loop_file.h"
#include "loops/loop_transfer.h"
#include "work/description_text.h"
#include "work/description_transfer.h"
#include "work/masks.h"
#include "work/value_format.h"

#include <QDateTime>
#include <QJsonArray>

#include <cmath>

namespace vardex::cli {

namespace p = link::protocol;

namespace {

constexpr int kClockWaitMs = 2000;
constexpr int kStateWaitMs = 500;
constexpr int kOutputWaitMs = 1000;
constexpr int kBlackboxAddress = 7168;
constexpr int kBlackboxWaitMs = 1000;

const char *const kAnalogNames[] = {"А1_12В", "А2_24В", "А3_5В"};

} // namespace

int controllerFailure(CommandRun &r, const QString &fallback)
{
    r.watch.finish();
    // Ctrl-C stopped the exchange: the controller did nothing wrong, and a script must be
    // able to tell the two apart.
    if (r.dm.cancelled() && r.dm.cancelReason() == link::OpStatus::Cancelled) {
        r.error = QStringLiteral("прервано");
        return kExitInterrupted;
    }
    r.error = r.watch.failed() ? r.watch.failureText() : fallback;
    return kExitController;
}

namespace {

bool exchange(CommandRun &r, const link::Payload &request, int timeoutMs)
{
    r.ctx.send(request);
    return r.ctx.waitReply(timeoutMs) && !r.ctx.lastReplyWasError();
}

} // namespace

// The configuration is read first by every command that shows channels or names
// the firmware: its enable masks and versions decide what the rest means.
bool readConfiguration(CommandRun &r)
{
    QString message;
    const auto outcome = config::readConfig(r.ctx, [&](const QString &text) { message = text; });
    return outcome == config::ReadOutcome::Complete && !r.watch.failed();
}

namespace {

QJsonValue clockJson(const link::DeviceClock &c)
{
    if (!work::clockText(c))
        return QJsonValue::Null;
    return QStringLiteral("%1-%2-%3T%4:%5:%6")
        .arg(2000 + c.year)
        .arg(c.month, 2, 10, QLatin1Char('0'))
        .arg(c.day, 2, 10, QLatin1Char('0'))
        .arg(c.hour, 2, 10, QLatin1Char('0'))
        .arg(c.minute, 2, 10, QLatin1Char('0'))
        .arg(c.second, 2, 10, QLatin1Char('0'));
}

void addClock(CommandRun &r)
{
    const link::DeviceClock &c = r.dm.image().clock;
    const auto text = work::clockText(c);
    r.report.add(QStringLiteral("clock"), clockJson(c), QStringLiteral("Часы"),
                 text ? *text : QStringLiteral("неверные: %1").arg(work::rawClockText(c)));
}

int describe(CommandRun &r)
{
    // The window's description read: configuration, every loop, then the identity.
    const work::DescriptionResult d =
        work::readDescription(r.ctx, {}, [&r] { return r.dm.isConnected(); });
    if (!d.described || !d.identityAnswered)
        return controllerFailure(r, QStringLiteral("описание не прочитано"));
    if (r.ctx.lastReplyWasError() || d.serial.isEmpty()) {
        r.error = QStringLiteral("контроллер отказал (ERR) на ReadIdentity");
        return kExitController;
    }
    const QString serial = d.serial;
    const link::MonitorConfig &cfg = r.dm.image().config;
    if (!exchange(r, p::readClock(), kClockWaitMs))
        return controllerFailure(r, QStringLiteral("нет ответа на ReadClock"));
    r.report.add(QStringLiteral("firmwareVersion"), cfg.firmwareVersion,
                 QStringLiteral("Версия прошивки"), QString::number(cfg.firmwareVersion));
    r.report.add(QStringLiteral("buildVariant"), cfg.buildVariant, QStringLiteral("Вариант сборки"),
                 QString::number(cfg.buildVariant));
    r.report.add(QStringLiteral("hardwareConfigNumber"), cfg.hardwareConfigNumber,
                 QStringLiteral("Номер конфигурации"), QString::number(cfg.hardwareConfigNumber));
    r.report.add(QStringLiteral("serialNumber"), serial, QStringLiteral("Серийный номер"), serial);
    r.report.add(QStringLiteral("node"), r.dm.currentDevice().id, QStringLiteral("Узел"),
                 r.dm.currentDevice().id);
    addClock(r);
    return kExitOk;
}

QString onOff(bool on)
{
    return on ? QStringLiteral("вкл") : QStringLiteral("выкл");
}

// Items of a family the configuration enables, as JSON {number: state} and a text row.
void addFamily(CommandRun &r, const QString &key, const QString &label, std::uint8_t enable,
               std::uint8_t state, int count, int firstItem = 1)
{
    QJsonArray items;
    QStringList texts;
    for (int k = 1; k <= count; ++k) {
        const int item = firstItem + k - 1;
        if (!work::maskBit(enable, item))
            continue;
        const bool on = work::maskBit(state, item);
        items.append(QJsonObject{{QStringLiteral("number"), k}, {QStringLiteral("on"), on}});
        texts << QStringLiteral("%1:%2").arg(k).arg(onOff(on));
    }
    r.report.add(key, items, label,
                 texts.isEmpty() ? QStringLiteral("—") : texts.join(QLatin1Char(' ')));
}

int state(CommandRun &r)
{
    if (!readConfiguration(r))
        return controllerFailure(r, QStringLiteral("конфигурация не прочитана"));
    r.ctx.send(p::readState(0));
    r.ctx.waitReply(kStateWaitMs);
    if (!exchange(r, p::readState(1), kStateWaitMs) || (r.watch.finish(), r.watch.failed()))
        return controllerFailure(r, QStringLiteral("нет ответа на ReadState"));
    const link::MonitorConfig &cfg = r.dm.image().config;
    const link::MonitorState &st = r.dm.image().state;

    QJsonArray temps;
    for (int i = 0; i < link::kSensors; ++i) {
        if (!work::maskBit(cfg.temperEnable, i + 1))
            continue;
        double celsius = 0;
        const bool known =
            work::temperatureCelsius(st.temperatures[i], cfg.dallasResolution[i], &celsius);
        temps.append(
            QJsonObject{{QStringLiteral("sensor"), i + 1},
                        {QStringLiteral("celsius"), known ? QJsonValue(celsius) : QJsonValue()}});
        r.report.addRow(QStringLiteral("Температура %1").arg(i + 1),
                        work::temperatureText(st.temperatures[i], cfg.dallasResolution[i]) +
                            QStringLiteral(" °C"));
    }
    r.report.json.insert(QStringLiteral("temperatures"), temps);

    QJsonArray analog;
    for (int i = 0; i < link::kAnalogChannels; ++i) {
        if (!work::maskBit(cfg.analogEnable, i + 1))
            continue;
        const QString name =
            i < 3 ? QString::fromUtf8(kAnalogNames[i]) : defaultChannelNames()[i - 3];
        // The controller sends single precision: three decimals are all it means.
        const double value = std::round(double(st.analogValues[i]) * 1000.0) / 1000.0;
        analog.append(QJsonObject{{QStringLiteral("channel"), i + 1},
                                  {QStringLiteral("name"), name},
                                  {QStringLiteral("value"), value}});
        r.report.addRow(name, work::formatAnalog(value));
    }
    r.report.json.insert(QStringLiteral("analog"), analog);

    addFamily(r, QStringLiteral("contacts"), QStringLiteral("Контакты"), cfg.contactEnable,
              st.contactInputs, 8);
    addFamily(r, QStringLiteral("ttlInputs"), QStringLiteral("Входы ТТЛ"), cfg.ttlInputEnable,
              st.ttlInputs, 8);
    addFamily(r, QStringLiteral("ttlOutputs"), QStringLiteral("Выходы ТТЛ"), cfg.ttlOutputEnable,
              st.ttlOutputs, 8);
    addFamily(r, QStringLiteral("highSwitches"), QStringLiteral("Ключи верхние"), cfg.switchEnable,
              st.switches, 4, work::highSwitchItem(1));
    addFamily(r, QStringLiteral("lowSwitches"), QStringLiteral("Ключи нижние"), cfg.switchEnable,
              st.switches, 4, work::lowSwitchItem(1));
    addFamily(r, QStringLiteral("relays"), QStringLiteral("Реле"), cfg.relayEnable, st.relays, 6);

    QJsonArray fans;
    for (int i = 0; i < link::kFans; ++i) {
        if (!work::maskBit(cfg.fanEnable, i + 1))
            continue;
        fans.append(QJsonObject{{QStringLiteral("fan"), i + 1},
                                {QStringLiteral("speed"), st.fanSpeeds[i]},
                                {QStringLiteral("taskPercent"), st.fanTasks[i]}});
        r.report.addRow(
            QStringLiteral("Вентилятор %1").arg(i + 1),
            QStringLiteral("%1 об/мин, задание %2 %").arg(st.fanSpeeds[i]).arg(st.fanTasks[i]));
    }
    r.report.json.insert(QStringLiteral("fans"), fans);

    QJsonArray flags;
    QStringList flagTexts;
    for (int f = 1; f <= 64; ++f)
        if (st.flag(f)) {
            flags.append(f);
            flagTexts << QString::number(f);
        }
    r.report.add(QStringLiteral("systemFlags"), flags, QStringLiteral("Системные флаги"),
                 flagTexts.isEmpty() ? QStringLiteral("—") : flagTexts.join(QLatin1Char(' ')));
    return kExitOk;
}

int clock(CommandRun &r, bool sync)
{
    if (sync)
        r.ctx.send(work::clockSetRequest(QDateTime::currentDateTime()));
    if (!exchange(r, p::readClock(), kClockWaitMs))
        return controllerFailure(r, QStringLiteral("нет ответа на ReadClock"));
    addClock(r);
    return kExitOk;
}

int outputs(CommandRun &r)
{
    const link::OutputTask &t = r.invocation.outputs;
    r.dm.image().outputTask = t;
    // Fire-and-forget in the window; here the acknowledgement tells the script it arrived.
    if (!exchange(r, p::writeOutputTask(t), kOutputWaitMs)) {
        r.error = r.ctx.lastReplyWasError()
                      ? QStringLiteral("контроллер отказал (ERR) на WriteOutputTask")
                      : QStringLiteral("контроллер не ответил на WriteOutputTask");
        return kExitController;
    }
    auto mask = [](std::uint8_t m) {
        return QStringLiteral("0x%1").arg(m, 2, 16, QLatin1Char('0'));
    };
    r.report.add(QStringLiteral("relays"), t.relaysTask, QStringLiteral("Реле"),
                 mask(t.relaysTask));
    r.report.add(QStringLiteral("switches"), t.switchesTask, QStringLiteral("Ключи"),
                 mask(t.switchesTask));
    r.report.add(QStringLiteral("ttlOutputs"), t.ttlOutputsTask, QStringLiteral("Выходы ТТЛ"),
                 mask(t.ttlOutputsTask));
    QJsonArray fans;
    QStringList fanTexts;
    for (auto f : t.fanTask) {
        fans.append(f);
        fanTexts << QStringLiteral("%1 %").arg(f);
    }
    r.report.add(QStringLiteral("fanPercent"), fans, QStringLiteral("Вентиляторы"),
                 fanTexts.join(QStringLiteral(", ")));
    return kExitOk;
}

void addFile(CommandRun &r, const QString &path)
{
    r.report.add(QStringLiteral("file"), path, QStringLiteral("Файл"), path);
}

int configRead(CommandRun &r)
{
    if (!readConfiguration(r))
        return controllerFailure(r, QStringLiteral("конфигурация не прочитана"));
    const auto saved = config::saveConfigFile(r.invocation.file, r.dm.image().config);
    if (!saved.ok) {
        r.error = QStringLiteral("не удалось записать %1: %2").arg(r.invocation.file, saved.reason);
        return kExitUsage;
    }
    addFile(r, r.invocation.file);
    return kExitOk;
}

int configWrite(CommandRun &r)
{
    link::MonitorConfig fromFile;
    const auto loaded = config::loadConfigFile(r.invocation.file, fromFile);
    if (!loaded.ok) {
        r.error =
            QStringLiteral("не удалось прочитать %1: %2").arg(r.invocation.file, loaded.reason);
        return kExitUsage;
    }
    r.dm.image().config = fromFile;
    const link::OpResult written = config::writeConfig(r.ctx);
    r.watch.finish();
    if (!written.ok() || r.watch.failed())
        return controllerFailure(
            r, QStringLiteral("запись конфигурации не закончена: %1").arg(written.message));
    // Read back and compare what travels: the write requests built from each copy.
    if (!readConfiguration(r))
        return controllerFailure(r, QStringLiteral("конфигурация не прочитана"));
    for (int page = 0; page < p::kConfigPages; ++page) {
        const auto wrote = p::writeConfigPage(page, fromFile);
        const auto read = p::writeConfigPage(page, r.dm.image().config);
        if (wrote.payload != read.payload) {
            r.error = QStringLiteral("проверка не прошла: страница конфигурации %1 прочитана "
                                     "не такой, какой записана")
                          .arg(page);
            return kExitController;
        }
    }
    addFile(r, r.invocation.file);
    r.report.add(QStringLiteral("verified"), true, QStringLiteral("Проверка"),
                 QStringLiteral("прочитано то же, что записано"));
    return kExitOk;
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
    addFile(r, r.invocation.file);
    r.report.add(QStringLiteral("loops"), link::kLoopCount, QStringLiteral("Контуров"),
                 QString::number(link::kLoopCount));
    return kExitOk;
}

int loopsWrite(CommandRun &r)
{
    // The firmware version decides whether the file's extended records count.
    if (!readConfiguration(r))
        return controllerFailure(r, QStringLiteral("конфигурация не прочитана"));
    const auto loaded = loops::loadLoopFile(r.invocation.file, r.dm.image());
    if (!loaded.ok) {
        r.error =
            QStringLiteral("не удалось прочитать %1: %2").arg(r.invocation.file, loaded.reason);
        return kExitUsage;
    }
    const auto result = loops::writeAllLoops(r.ctx);
    if (result.outcome == loops::WriteOutcome::VerifyFailed) {
        r.error = QStringLiteral("проверка контура %1 не прошла: контроллер хранит не то, что "
                                 "записано")
                      .arg(result.failedLoop);
        return kExitController;
    }
    r.watch.finish();
    if (result.outcome != loops::WriteOutcome::Written || r.watch.failed())
        return controllerFailure(r, QStringLiteral("запись прервана"));
    addFile(r, r.invocation.file);
    r.report.add(QStringLiteral("verified"), true, QStringLiteral("Проверка"),
                 QStringLiteral("все контуры прочитаны обратно"));
    return kExitOk;
}

int blackbox(CommandRun &r)
{
    if (!exchange(r, p::memoryRead(kBlackboxAddress, p::kMemoryBlock), kBlackboxWaitMs))
        return controllerFailure(r, QStringLiteral("нет ответа на MemoryRead"));
    const link::Payload reply = r.ctx.lastReply();
    QJsonArray bytes;
    QStringList lines;
    for (int i = 0; i < p::kMemoryBlock; ++i)
        bytes.append(reply[link::kDataOffset + i]);
    for (int row = 0; row < p::kMemoryBlock; row += 16) {
        QStringList hex;
        for (int i = row; i < std::min(row + 16, p::kMemoryBlock); ++i)
            hex << QStringLiteral("%1").arg(reply[link::kDataOffset + i], 2, 16, QLatin1Char('0'));
        r.report.addRow(QStringLiteral("%1").arg(kBlackboxAddress + row),
                        hex.join(QLatin1Char(' ')));
    }
    r.report.json.insert(QStringLiteral("address"), kBlackboxAddress);
    r.report.json.insert(QStringLiteral("bytes"), bytes);
    return kExitOk;
}

} // namespace

int execute(CommandRun &r)
{
    switch (r.invocation.command) {
    case Command::Describe:
        return describe(r);
    case Command::State:
        return state(r);
    case Command::ClockGet:
        return clock(r, false);
    case Command::ClockSync:
        return clock(r, true);
    case Command::OutputsSet:
        return outputs(r);
    case Command::ConfigRead:
        return configRead(r);
    case Command::ConfigWrite:
        return configWrite(r);
    case Command::LoopsRead:
        return loopsRead(r);
    case Command::LoopsWrite:
        return loopsWrite(r);
    case Command::LogRead:
        return logRead(r);
    case Command::Blackbox:
        return blackbox(r);
    case Command::List:
    case Command::Help:
    case Command::Watch: // runs outside an operation (runner.cpp)
        break;
    }
    return kExitUsage;
}

} // namespace vardex::cli

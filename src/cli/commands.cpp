#include "cli/commands.h"

#include "cli/watch_settle.h"
#include "common/channel_names.h"
#include "config/cfg_exchange.h"
#include "config/config_file.h"
#include "link/data_module.h"
#include "link/protocol.h"
#include "link/reply_table.h"
#include "service/black_box.h"
#include "work/description_text.h"
#include "work/description_transfer.h"
#include "work/masks.h"
#include "work/output_switch.h"
#include "work/value_format.h"
#include "work/work_transfer.h"

#include <QDateTime>
#include <QJsonArray>

#include <cmath>
#include <limits>

namespace vardex::cli {

namespace p = link::protocol;

namespace {

constexpr int kOutputWaitMs = 1000;

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
    const link::DescriptionResult d =
        work::readDescription(r.ctx, {}, [&r] { return r.dm.isConnected(); });
    if (!d.described || !d.identityAnswered)
        return controllerFailure(r, QStringLiteral("описание не прочитано"));
    if (r.ctx.lastReplyWasError() || d.serial.isEmpty()) {
        r.error = QStringLiteral("контроллер отказал (ERR) на ReadIdentity");
        return kExitController;
    }
    const QString serial = d.serial;
    const link::MonitorConfig &cfg = r.dm.image().config;
    if (!work::readClock(r.ctx).answered)
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
    if (!work::readState(r.ctx, work::kSingleRead) || (r.watch.finish(), r.watch.failed()))
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
    if (!sync) {
        if (!work::readClock(r.ctx).answered)
            return controllerFailure(r, QStringLiteral("нет ответа на ReadClock"));
        addClock(r);
        return kExitOk;
    }
    // The clock is set, then read back: a dropped WriteClock is never a success.
    const work::ClockSetCheck set =
        work::setClockChecked(r.ctx, [] { return QDateTime::currentDateTime(); });
    const std::optional<QString> failure = work::clockSetFailure(set);
    if (!set.answered)
        return controllerFailure(r, *failure);
    addClock(r);
    const qint64 off = set.offsetSeconds.value_or(0);
    r.report.add(
        QStringLiteral("offsetSeconds"), set.offsetSeconds ? QJsonValue(double(off)) : QJsonValue(),
        QStringLiteral("Расхождение"),
        set.offsetSeconds ? QStringLiteral("%1 с").arg(off) : QStringLiteral("часы неверные"));
    if (failure) {
        r.error = *failure;
        return kExitController;
    }
    return kExitOk;
}

QString maskText(std::uint8_t m)
{
    return QStringLiteral("0x%1").arg(m, 2, 16, QLatin1Char('0'));
}

int outputs(CommandRun &r)
{
    const OutputChanges &changes = r.invocation.outputs;
    link::OutputTask t;
    work::Acknowledged ack = work::Acknowledged::No;
    if (changes.allOff) {
        r.dm.image().outputTask = t;
        ack = work::sendOutputTaskAwaited(r.ctx, kOutputWaitMs);
    } else {
        // Outputs not named keep what the controller's manual task holds now (read in the
        // same operation; an output only a loop holds is not copied into it).
        const work::OutputSwitch s = work::switchOutputs(
            r.ctx, [&changes](link::OutputTask &task) { task = changes.applyTo(task); },
            kOutputWaitMs);
        if (!s.read)
            return controllerFailure(
                r, QStringLiteral("состояние выходов не прочитано: задание не отправлено"));
        t = s.task;
        ack = s.ack;
    }
    // Fire-and-forget in the window; here the acknowledgement tells the script it arrived.
    if (ack != work::Acknowledged::Yes) {
        r.error = ack == work::Acknowledged::Refused
                      ? QStringLiteral("контроллер отказал (ERR) на WriteOutputTask")
                      : QStringLiteral("контроллер не ответил на WriteOutputTask");
        return kExitController;
    }
    r.report.add(QStringLiteral("relays"), t.relaysTask, QStringLiteral("Реле"),
                 maskText(t.relaysTask));
    r.report.add(QStringLiteral("switches"), t.switchesTask, QStringLiteral("Ключи"),
                 maskText(t.switchesTask));
    r.report.add(QStringLiteral("ttlOutputs"), t.ttlOutputsTask, QStringLiteral("Выходы ТТЛ"),
                 maskText(t.ttlOutputsTask));
    QJsonArray fans;
    QStringList fanTexts;
    for (auto f : t.fanTask) {
        fans.append(f);
        fanTexts << QStringLiteral("%1 %").arg(f);
    }
    r.report.add(QStringLiteral("fanPercent"), fans, QStringLiteral("Вентиляторы"),
                 fanTexts.join(QStringLiteral(", ")));
    // Read back: the state says what the controller drives now (its loops may drive an
    // output too, so a difference is told, not hidden).
    r.watch.finish();
    const bool readBack = work::readState(r.ctx, work::kSingleRead);
    const link::OutputTask now = taskOfState(r.dm.image().state);
    const bool same = readBack && now.relaysTask == t.relaysTask &&
                      now.switchesTask == t.switchesTask &&
                      now.ttlOutputsTask == t.ttlOutputsTask && now.fanTask == t.fanTask;
    r.report.add(QStringLiteral("readBack"), readBack ? QJsonValue(same) : QJsonValue(),
                 QStringLiteral("Проверка"),
                 !readBack ? QStringLiteral("состояние не прочитано, не проверено")
                 : same ? QStringLiteral("состояние выходов совпадает с заданием")
                        : QStringLiteral("состояние выходов отличается от задания: реле %1, "
                                         "ключи %2, ТТЛ %3")
                              .arg(maskText(now.relaysTask), maskText(now.switchesTask),
                                   maskText(now.ttlOutputsTask)));
    return kExitOk;
}

int blackbox(CommandRun &r)
{
    const service::BlackBoxRead read = service::readBlackBox(r.ctx);
    if (!read.box)
        return controllerFailure(r, read.result.status == link::OpStatus::ErrorReply
                                        ? QStringLiteral("контроллер отказал (ERR) на MemoryRead")
                                        : QStringLiteral("нет ответа на MemoryRead"));
    const service::BlackBox &box = *read.box;
    const service::BlackBoxTexts texts = service::blackBoxTexts(box);
    for (const service::BlackBoxCaption &f : service::kBlackBoxCaptions)
        r.report.addRow(QString::fromUtf8(f.caption).trimmed(), texts.*f.text);
    r.report.json = service::blackBoxJson(box);
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
    case Command::ConfigDiff:
        return configDiff(r);
    case Command::LoopsRead:
        return loopsRead(r);
    case Command::LoopsWrite:
        return loopsWrite(r);
    case Command::LoopsDiff:
        return loopsDiff(r);
    case Command::LogRead:
        return logRead(r);
    case Command::Blackbox:
        return blackbox(r);
    case Command::List:
    case Command::Help:
    case Command::Watch: // these two run outside an operation (runner.cpp)
    case Command::Serve:
        break;
    }
    return kExitUsage;
}

} // namespace vardex::cli

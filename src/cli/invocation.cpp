#include "cli/invocation.h"

#include "work/masks.h"

#include <QSet>

namespace vardex::cli {

namespace {

const QString kOn = QStringLiteral("on");
const QString kOff = QStringLiteral("off");

// "on" / "off" (also 1 / 0) of one output.
std::optional<bool> parseState(const QString &value)
{
    if (value == kOn || value == QLatin1String("1"))
        return true;
    if (value == kOff || value == QLatin1String("0"))
        return false;
    return std::nullopt;
}

// One switch "h1".."h4" (high-side) or "l1".."l4" (low-side) as its mask item.
std::optional<int> switchItem(const QString &name)
{
    if (name.size() != 2)
        return std::nullopt;
    const QChar side = name.front().toLower();
    const int k = name[1].digitValue();
    if (k < 1 || k > 4)
        return std::nullopt;
    if (side == QLatin1Char('h'))
        return work::highSwitchItem(k);
    if (side == QLatin1Char('l'))
        return work::lowSwitchItem(k);
    return std::nullopt;
}

// A whole family: "1,3" (these on, the others off) or "off" (all off).
bool parseFamily(const QString &key, const QString &value, int count, bool switches,
                 std::uint8_t *named, std::uint8_t *on, QString *error)
{
    if (value.isEmpty()) {
        *error = QStringLiteral("«%1=»: пустой список. Выключить все выходы семейства: %1=off, "
                                "всё сразу: all-off")
                     .arg(key);
        return false;
    }
    const int bits = switches ? 8 : count;
    *named = static_cast<std::uint8_t>((1u << bits) - 1u);
    *on = 0;
    if (value == kOff)
        return true;
    for (const QString &part : value.split(QLatin1Char(','))) {
        std::optional<int> item;
        if (switches) {
            item = switchItem(part);
        } else {
            bool ok = false;
            const int k = part.toInt(&ok);
            if (ok && k >= 1 && k <= count)
                item = k;
        }
        if (!item) {
            *error = switches ? QStringLiteral("«%1»: ожидаются ключи h1..h4 (верхние) и l1..l4 "
                                               "(нижние) через запятую или off")
                                    .arg(value)
                              : QStringLiteral("«%1»: ожидаются номера 1..%2 через запятую или off")
                                    .arg(value)
                                    .arg(count);
            return false;
        }
        *on = work::withMaskBit(*on, *item, true);
    }
    return true;
}

void nameOne(int item, bool on, std::uint8_t *named, std::uint8_t *state)
{
    *named = work::withMaskBit(*named, item, true);
    *state = work::withMaskBit(*state, item, on);
}

} // namespace

link::OutputTask OutputChanges::applyTo(const link::OutputTask &current) const
{
    if (allOff)
        return {};
    auto merge = [](std::uint8_t now, std::uint8_t named, std::uint8_t on) {
        return static_cast<std::uint8_t>((now & ~named) | (on & named));
    };
    link::OutputTask t = current;
    t.relaysTask = merge(current.relaysTask, relaysNamed, relaysOn);
    t.switchesTask = merge(current.switchesTask, switchesNamed, switchesOn);
    t.ttlOutputsTask = merge(current.ttlOutputsTask, ttlNamed, ttlOn);
    for (std::size_t i = 0; i < fanPercent.size(); ++i)
        if (fanPercent[i])
            t.fanTask[i] = *fanPercent[i];
    return t;
}

std::optional<OutputChanges> parseOutputs(const QStringList &items, QString *error)
{
    OutputChanges changes;
    if (items.isEmpty()) {
        *error = QStringLiteral("не названо ни одного выхода (выключить всё: all-off)");
        return std::nullopt;
    }
    if (items.contains(QStringLiteral("all-off"))) {
        if (items.size() != 1) {
            *error = QStringLiteral("all-off задаётся без других выходов");
            return std::nullopt;
        }
        changes.allOff = true;
        return changes;
    }
    QSet<QString> seen;
    for (const QString &item : items) {
        const qsizetype eq = item.indexOf(QLatin1Char('='));
        const QString key = item.left(eq).toLower();
        const QString value = eq < 0 ? QString() : item.mid(eq + 1).toLower();
        if (eq < 0 || seen.contains(key)) {
            *error = eq < 0 ? QStringLiteral("«%1»: ожидается имя=значение").arg(item)
                            : QStringLiteral("«%1» задан дважды").arg(key);
            return std::nullopt;
        }
        seen.insert(key);
        bool ok = true;
        const auto single = [&](const QString &prefix, int count) -> std::optional<int> {
            if (!key.startsWith(prefix) || key.size() == prefix.size())
                return std::nullopt;
            bool number = false;
            const int k = key.mid(prefix.size()).toInt(&number);
            return number && k >= 1 && k <= count ? std::optional<int>(k) : std::nullopt;
        };
        const auto state = parseState(value);
        if (key == QLatin1String("relay")) {
            ok = parseFamily(key, value, 6, false, &changes.relaysNamed, &changes.relaysOn, error);
        } else if (key == QLatin1String("ttl")) {
            ok = parseFamily(key, value, 8, false, &changes.ttlNamed, &changes.ttlOn, error);
        } else if (key == QLatin1String("switch")) {
            ok = parseFamily(key, value, 8, true, &changes.switchesNamed, &changes.switchesOn,
                             error);
        } else if (key.size() == 4 && key.startsWith(QLatin1String("fan")) &&
                   key[3] >= QLatin1Char('1') && key[3] <= QLatin1Char('4')) {
            const int percent = value.toInt(&ok);
            if (!ok || percent < 0 || percent > 100) {
                *error = QStringLiteral("«%1»: вентилятор задаётся в процентах 0..100").arg(item);
                return std::nullopt;
            }
            changes.fanPercent[static_cast<std::size_t>(key[3].unicode() - '1')] =
                static_cast<std::uint8_t>(percent);
        } else if (const auto relay = single(QStringLiteral("relay"), 6)) {
            ok = state.has_value();
            if (ok)
                nameOne(*relay, *state, &changes.relaysNamed, &changes.relaysOn);
        } else if (const auto ttl = single(QStringLiteral("ttl"), 8)) {
            ok = state.has_value();
            if (ok)
                nameOne(*ttl, *state, &changes.ttlNamed, &changes.ttlOn);
        } else if (key.startsWith(QLatin1String("switch-")) && switchItem(key.mid(7))) {
            ok = state.has_value();
            if (ok)
                nameOne(*switchItem(key.mid(7)), *state, &changes.switchesNamed,
                        &changes.switchesOn);
        } else {
            *error = QStringLiteral("«%1»: неизвестный выход (relayN, ttlN, switch-hN, "
                                    "switch-lN, fan1..fan4, relay=, ttl=, switch=)")
                         .arg(key);
            return std::nullopt;
        }
        if (!ok) {
            if (error->isEmpty())
                *error = QStringLiteral("«%1»: ожидается on или off").arg(item);
            return std::nullopt;
        }
    }
    // A family named as a whole and item by item (relay=1 relay3=on) is ambiguous.
    for (const char *family : {"relay", "ttl", "switch"}) {
        const QString whole = QLatin1String(family);
        if (!seen.contains(whole))
            continue;
        for (const QString &key : seen) {
            if (key != whole && key.startsWith(whole)) {
                *error = QStringLiteral("«%1» задан и целиком, и по одному выходу").arg(whole);
                return std::nullopt;
            }
        }
    }
    return changes;
}

QString usageText()
{
    return QStringLiteral(
        "Использование: vardex-cli [--demo] [--device УЗЕЛ] [--json] [--overlay] КОМАНДА\n"
        "  list                      контроллеры, их узлы hidraw и доступ к ним\n"
        "  describe                  версии, номер конфигурации, серийный номер, часы\n"
        "  state                     одно чтение состояния (включённые каналы)\n"
        "  clock get|sync            часы контроллера / установить по компьютеру\n"
        "  outputs set relay3=on switch-h2=off ttl1=on fan1=60 …\n"
        "                            меняет только названные выходы, остальные остаются\n"
        "                            как есть; relay=1,3 задаёт всё семейство (прочие\n"
        "                            реле выкл., relay=off — все); all-off выключает всё\n"
        "  config read|write|diff ФАЙЛ.cfg\n"
        "  loops read|write|diff ФАЙЛ.upr\n"
        "                            diff: что изменит запись (0 — ничего, 1 — есть разница,\n"
        "                            4 — контроллер отказал или не ответил);\n"
        "                            файл не своего размера отвергается, --overlay кладёт\n"
        "                            его начало поверх того, что сейчас в контроллере\n"
        "  log read ФАЙЛ.log|csv|xlsx\n"
        "  blackbox                  чёрный ящик\n"
        "  watch УЗЕЛ [УЗЕЛ…] --output relay1|h1..h4|l1..l4\n"
        "        [--interval мс] [--timeout мс] [--pulse мс] [--misses N]\n"
        "        [--hold-off с] [--arm-after N] [--max-pulses K --per мин] [--backoff с]\n"
        "        [УЗЕЛ… --output … [параметры этой пары]]…\n"
        "                            сторож: импульс на выход, когда не отвечает ни один\n"
        "                            из узлов (до 4); строка на решение с его правилом;\n"
        "                            узел после --output, за которым идёт ещё --output,\n"
        "                            начинает следующую пару (до 8, выходы разные);\n"
        "                            SIGINT/SIGTERM выключают выходы, SIGUSR1 снимает\n"
        "                            остановку после --max-pulses\n"
        "  serve [--poll с] [--metrics-listen [АДРЕС:]ПОРТ] [--metrics-file ФАЙЛ]\n"
        "        [--mqtt УЗЕЛ:ПОРТ [--mqtt-user ИМЯ] [--mqtt-password-file ФАЙЛ]\n"
        "        [--mqtt-ca-file ФАЙЛ] [--mqtt-prefix ТЕМА]]\n"
        "                            служба шкафа: опрос состояния, метрики Prometheus,\n"
        "                            MQTT и журнал; только читает контроллер;\n"
        "                            --watch УЗЕЛ --output … — сторож в том же процессе,\n"
        "                            пары как у watch; контроллер отдаётся на время\n"
        "Коды выхода: 0 успех (diff: записывать нечего), 1 контроллер отказал, не ответил\n"
        "или прочитан не таким, каким записан (diff: запись что-то изменит), 2 ошибка в\n"
        "аргументах или файле, 3 нет контроллера, нет доступа к нему или его держит другая\n"
        "программа (она названа; у watch команды берут его на время сами; watch: контроллер\n"
        "пропал, а контроллер, занятый окном, он ждёт), 4 diff: контроллер отказал или не\n"
        "ответил, сравнивать не с чем, 130 прервано (Ctrl-C). watch, остановленный SIGINT\n"
        "или SIGTERM, выходит с 0.\n"
        "vardex-cli --version: версия программы.\n");
}

ParseResult parseArguments(const QStringList &args)
{
    Invocation inv;
    QStringList words;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == QLatin1String("--json"))
            inv.json = true;
        else if (a == QLatin1String("--demo"))
            inv.demo = true;
        else if (a == QLatin1String("--overlay"))
            inv.overlay = true;
        else if (a == QLatin1String("--help") || a == QLatin1String("-h"))
            return {inv, {}};
        else if (a == QLatin1String("--device")) {
            if (i + 1 >= args.size())
                return {std::nullopt, QStringLiteral("--device: не указан узел")};
            inv.device = args[++i];
        } else if (a.startsWith(QLatin1String("--device=")))
            inv.device = a.mid(9);
        else if (!words.isEmpty() && words.front() == QLatin1String("watch") && isWatchOption(a)) {
            // The watch's own options go to its parser with their values.
            words << a;
            if (!a.contains(QLatin1Char('=')) && i + 1 < args.size())
                words << args[++i];
        } else if (!words.isEmpty() && words.front() == QLatin1String("serve") &&
                   isServeOption(a)) {
            words << a;
            if (!a.contains(QLatin1Char('=')) && i + 1 < args.size())
                words << args[++i];
        } else if (a.startsWith(QLatin1String("--")))
            return {std::nullopt, QStringLiteral("неизвестный параметр %1").arg(a)};
        else
            words << a;
    }
    if (words.isEmpty())
        return {std::nullopt, QStringLiteral("не указана команда")};
    if (inv.demo && !inv.device.isEmpty())
        return {std::nullopt, QStringLiteral("--demo и --device вместе не задаются")};

    const QString verb = words.takeFirst();
    auto fileCommand = [&](Command read, Command write, Command diff,
                           const QStringList &suffixes) -> ParseResult {
        if (words.size() != 2 ||
            (words[0] != QLatin1String("read") && words[0] != QLatin1String("write") &&
             words[0] != QLatin1String("diff")))
            return {std::nullopt, QStringLiteral("%1: ожидается read|write|diff ФАЙЛ").arg(verb)};
        inv.command = words[0] == QLatin1String("read")    ? read
                      : words[0] == QLatin1String("write") ? write
                                                           : diff;
        inv.file = words[1];
        const QString suffix = inv.file.section(QLatin1Char('.'), -1).toLower();
        if (!inv.file.contains(QLatin1Char('.')) || !suffixes.contains(suffix))
            return {std::nullopt, QStringLiteral("%1: файл должен оканчиваться на .%2")
                                      .arg(verb, suffixes.join(QStringLiteral(", .")))};
        return {inv, {}};
    };

    ParseResult result{inv, {}};
    if (verb == QLatin1String("list") || verb == QLatin1String("describe") ||
        verb == QLatin1String("state") || verb == QLatin1String("blackbox")) {
        if (!words.isEmpty())
            return {std::nullopt, QStringLiteral("%1: лишние аргументы").arg(verb)};
        inv.command = verb == QLatin1String("list")       ? Command::List
                      : verb == QLatin1String("describe") ? Command::Describe
                      : verb == QLatin1String("state")    ? Command::State
                                                          : Command::Blackbox;
        result = {inv, {}};
    } else if (verb == QLatin1String("clock")) {
        if (words.size() != 1 ||
            (words[0] != QLatin1String("get") && words[0] != QLatin1String("sync")))
            return {std::nullopt, QStringLiteral("clock: ожидается get или sync")};
        inv.command = words[0] == QLatin1String("get") ? Command::ClockGet : Command::ClockSync;
        result = {inv, {}};
    } else if (verb == QLatin1String("outputs")) {
        if (words.isEmpty() || words[0] != QLatin1String("set"))
            return {std::nullopt, QStringLiteral("outputs: ожидается set имя=значение …")};
        words.removeFirst();
        QString error;
        const auto task = parseOutputs(words, &error);
        if (!task)
            return {std::nullopt, QStringLiteral("outputs set: %1").arg(error)};
        inv.command = Command::OutputsSet;
        inv.outputs = *task;
        result = {inv, {}};
    } else if (verb == QLatin1String("config")) {
        result = fileCommand(Command::ConfigRead, Command::ConfigWrite, Command::ConfigDiff,
                             {QStringLiteral("cfg")});
    } else if (verb == QLatin1String("loops")) {
        result = fileCommand(Command::LoopsRead, Command::LoopsWrite, Command::LoopsDiff,
                             {QStringLiteral("upr")});
    } else if (verb == QLatin1String("log")) {
        result =
            fileCommand(Command::LogRead, Command::LogRead, Command::LogRead,
                        {QStringLiteral("log"), QStringLiteral("csv"), QStringLiteral("xlsx")});
        if (result.invocation && words[0] != QLatin1String("read"))
            return {std::nullopt, QStringLiteral("log: только read ФАЙЛ")};
    } else if (verb == QLatin1String("watch")) {
        QString error;
        const auto options = parseWatchPairs(words, &error);
        if (!options)
            return {std::nullopt, error};
        inv.command = Command::Watch;
        inv.watch = *options;
        result = {inv, {}};
    } else if (verb == QLatin1String("serve")) {
        QString error;
        const auto options = parseServeOptions(words, &error);
        if (!options)
            return {std::nullopt, error};
        inv.command = Command::Serve;
        inv.serve = *options;
        result = {inv, {}};
    } else {
        return {std::nullopt, QStringLiteral("неизвестная команда «%1»").arg(verb)};
    }
    // Only a file laid over the controller can be an overlay.
    if (result.invocation && inv.overlay &&
        !(result.invocation->command == Command::ConfigWrite ||
          result.invocation->command == Command::ConfigDiff ||
          result.invocation->command == Command::LoopsWrite ||
          result.invocation->command == Command::LoopsDiff))
        return {std::nullopt, QStringLiteral("--overlay: только для config|loops write|diff")};
    return result;
}

} // namespace vardex::cli

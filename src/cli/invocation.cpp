#include "cli/invocation.h"

#include "work/masks.h"

#include <QSet>

namespace vardex::cli {

namespace {

// Numbers 1..max separated by commas; an empty list is allowed (all off).
bool parseItems(const QString &text, int max, std::uint8_t *mask, QString *error)
{
    *mask = 0;
    if (text.isEmpty())
        return true;
    for (const QString &part : text.split(QLatin1Char(','))) {
        bool ok = false;
        const int item = part.toInt(&ok);
        if (!ok || item < 1 || item > max) {
            *error =
                QStringLiteral("«%1»: ожидаются номера 1..%2 через запятую").arg(text).arg(max);
            return false;
        }
        *mask = work::withMaskBit(*mask, item, true);
    }
    return true;
}

bool parseSwitches(const QString &text, std::uint8_t *mask, QString *error)
{
    *mask = 0;
    if (text.isEmpty())
        return true;
    for (const QString &part : text.split(QLatin1Char(','))) {
        bool ok = false;
        const int k = part.mid(1).toInt(&ok);
        const QChar side = part.isEmpty() ? QChar() : part.front().toLower();
        if (!ok || k < 1 || k > 4 || (side != QLatin1Char('h') && side != QLatin1Char('l'))) {
            *error = QStringLiteral("«%1»: ожидаются ключи h1..h4 (верхние) и l1..l4 (нижние)")
                         .arg(text);
            return false;
        }
        const int item =
            side == QLatin1Char('h') ? work::highSwitchItem(k) : work::lowSwitchItem(k);
        *mask = work::withMaskBit(*mask, item, true);
    }
    return true;
}

} // namespace

std::optional<link::OutputTask> parseOutputs(const QStringList &items, QString *error)
{
    link::OutputTask task;
    QSet<QString> seen;
    for (const QString &item : items) {
        const qsizetype eq = item.indexOf(QLatin1Char('='));
        const QString key = item.left(eq).toLower();
        const QString value = eq < 0 ? QString() : item.mid(eq + 1);
        if (eq < 0 || seen.contains(key)) {
            *error = eq < 0 ? QStringLiteral("«%1»: ожидается имя=значение").arg(item)
                            : QStringLiteral("«%1» задан дважды").arg(key);
            return std::nullopt;
        }
        seen.insert(key);
        bool ok = true;
        if (key == QLatin1String("relay"))
            ok = parseItems(value, 6, &task.relaysTask, error);
        else if (key == QLatin1String("ttl"))
            ok = parseItems(value, 8, &task.ttlOutputsTask, error);
        else if (key == QLatin1String("switch"))
            ok = parseSwitches(value, &task.switchesTask, error);
        else if (key.size() == 4 && key.startsWith(QLatin1String("fan")) &&
                 key[3] >= QLatin1Char('1') && key[3] <= QLatin1Char('4')) {
            const int percent = value.toInt(&ok);
            if (!ok || percent < 0 || percent > 100) {
                *error = QStringLiteral("«%1»: вентилятор задаётся в процентах 0..100").arg(item);
                return std::nullopt;
            }
            task.fanTask[key[3].unicode() - '1'] = static_cast<std::uint8_t>(percent);
        } else {
            *error =
                QStringLiteral("«%1»: неизвестный выход (relay, switch, ttl, fan1..fan4)").arg(key);
            return std::nullopt;
        }
        if (!ok)
            return std::nullopt;
    }
    return task;
}

QString usageText()
{
    return QStringLiteral(
        "Использование: vardex-cli [--demo] [--device УЗЕЛ] [--json] КОМАНДА\n"
        "  list                      контроллеры, их узлы hidraw и доступ к ним\n"
        "  describe                  версии, номер конфигурации, серийный номер, часы\n"
        "  state                     одно чтение состояния (включённые каналы)\n"
        "  clock get|sync            часы контроллера / установить по компьютеру\n"
        "  outputs set relay=1,3 switch=h2,l1 ttl=1 fan1=60\n"
        "                            задание выходов (не названные выключены)\n"
        "  config read|write ФАЙЛ.cfg\n"
        "  loops read|write ФАЙЛ.upr\n"
        "  log read ФАЙЛ.log|csv|xlsx\n"
        "  blackbox                  чёрный ящик\n"
        "Коды выхода: 0 успех, 1 контроллер отказал или не ответил, 2 ошибка в аргументах,\n"
        "3 нет контроллера или нет доступа к нему, 130 прервано (Ctrl-C).\n"
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
        else if (a == QLatin1String("--help") || a == QLatin1String("-h"))
            return {inv, {}};
        else if (a == QLatin1String("--device")) {
            if (i + 1 >= args.size())
                return {std::nullopt, QStringLiteral("--device: не указан узел")};
            inv.device = args[++i];
        } else if (a.startsWith(QLatin1String("--device=")))
            inv.device = a.mid(9);
        else if (a.startsWith(QLatin1String("--")))
            return {std::nullopt, QStringLiteral("неизвестный параметр %1").arg(a)};
        else
            words << a;
    }
    if (words.isEmpty())
        return {std::nullopt, QStringLiteral("не указана команда")};
    if (inv.demo && !inv.device.isEmpty())
        return {std::nullopt, QStringLiteral("--demo и --device вместе не задаются")};

    const QString verb = words.takeFirst();
    auto fileCommand = [&](Command read, Command write,
                           const QStringList &suffixes) -> ParseResult {
        if (words.size() != 2 ||
            (words[0] != QLatin1String("read") && words[0] != QLatin1String("write")))
            return {std::nullopt, QStringLiteral("%1: ожидается read|write ФАЙЛ").arg(verb)};
        inv.command = words[0] == QLatin1String("read") ? read : write;
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
        result = fileCommand(Command::ConfigRead, Command::ConfigWrite, {QStringLiteral("cfg")});
    } else if (verb == QLatin1String("loops")) {
        result = fileCommand(Command::LoopsRead, Command::LoopsWrite, {QStringLiteral("upr")});
    } else if (verb == QLatin1String("log")) {
        result =
            fileCommand(Command::LogRead, Command::LogRead,
                        {QStringLiteral("log"), QStringLiteral("csv"), QStringLiteral("xlsx")});
        if (result.invocation && words[0] != QLatin1String("read"))
            return {std::nullopt, QStringLiteral("log: только read ФАЙЛ")};
    } else {
        return {std::nullopt, QStringLiteral("неизвестная команда «%1»").arg(verb)};
    }
    return result;
}

} // namespace vardex::cli

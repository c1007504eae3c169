#include "program/command_line.h"

#include "service/watchdog_output.h"

#include <array>

#ifndef VARDEX_VERSION
#error "VARDEX_VERSION comes from the build (the project's version)"
#endif

namespace vardex::program {

namespace {

struct OptionSpec {
    const char *name;      // without the dashes
    const char *valueName; // nullptr: a switch
    const char *help;
    bool window;
    bool demo;
};

// Both window programs share one table, so their help and their parsing never differ.
constexpr std::array kOptions = {
    OptionSpec{"service", nullptr, "показать служебные страницы, скрытые при запуске", true, true},
    OptionSpec{"trace", "ФАЙЛ",
               "записывать в ФАЙЛ каждый отправленный и полученный отчёт с расшифровкой "
               "(те же строки, что сохраняет окно «Обмен»)",
               true, true},
    OptionSpec{"doctor", nullptr,
               "проверить, почему контроллер не открывается, вывести проверки и выйти", true,
               false},
    OptionSpec{"doctor", nullptr,
               "открыть поверх окна «Диагностика подключения» (доступ этого компьютера к "
               "настоящим контроллерам)",
               false, true},
    OptionSpec{"firmware23", nullptr,
               "симулировать контроллер с прошивкой 23 (без расширенных настроек контуров)", false,
               true},
    OptionSpec{"watch", "УЗЕЛ",
               "вместе с --service и --watch-output: сторож LAN следит за УЗЛОМ с самого запуска",
               true, true},
    OptionSpec{"watch-output", "ВЫХОД",
               "выход, которым сторож перезапускает УЗЕЛ: relay1..relay6, h1..h4 (верхние "
               "ключи) или l1..l4 (нижние), как у vardex-cli watch --output",
               true, true},
};

// Options QGuiApplication and QApplication take for themselves, with one or two dashes.
const QStringList kQtOptionsWithValue = {QStringLiteral("platform"),
                                         QStringLiteral("platformpluginpath"),
                                         QStringLiteral("platformtheme"),
                                         QStringLiteral("plugin"),
                                         QStringLiteral("qwindowgeometry"),
                                         QStringLiteral("qwindowtitle"),
                                         QStringLiteral("qwindowicon"),
                                         QStringLiteral("style"),
                                         QStringLiteral("stylesheet"),
                                         QStringLiteral("session"),
                                         QStringLiteral("display"),
                                         QStringLiteral("geometry"),
                                         QStringLiteral("name"),
                                         QStringLiteral("title"),
                                         QStringLiteral("visual"),
                                         QStringLiteral("ncols"),
                                         QStringLiteral("cmap"),
                                         QStringLiteral("im")};
const QStringList kQtSwitches = {QStringLiteral("reverse"), QStringLiteral("widgetcount"),
                                 QStringLiteral("nograb"),  QStringLiteral("dograb"),
                                 QStringLiteral("sync"),    QStringLiteral("testability")};

// How many arguments from i on are one of Qt's own options (0: none).
int qtOptionLength(const QStringList &args, qsizetype i)
{
    QString a = args[i];
    if (!a.startsWith(QLatin1Char('-')))
        return 0;
    a.remove(0, a.startsWith(QLatin1String("--")) ? 2 : 1);
    if (a.startsWith(QLatin1String("qmljsdebugger=")))
        return 1;
    const qsizetype eq = a.indexOf(QLatin1Char('='));
    if (eq > 0 && kQtOptionsWithValue.contains(a.left(eq)))
        return 1;
    if (kQtOptionsWithValue.contains(a))
        return i + 1 < args.size() ? 2 : 1;
    return kQtSwitches.contains(a) ? 1 : 0;
}

bool offered(const OptionSpec &o, Program program)
{
    return program == Program::Demo ? o.demo : o.window;
}

const OptionSpec *findOption(Program program, const QString &name)
{
    for (const OptionSpec &o : kOptions) {
        if (offered(o, program) && name == QLatin1String(o.name))
            return &o;
    }
    return nullptr;
}

QString description(Program program)
{
    switch (program) {
    case Program::Window:
        return QStringLiteral("Сервисная программа контроллера-монитора Quellbox (USB HID):\n"
                              "описание, состояние, выходы, конфигурация, контуры управления,\n"
                              "журнал событий.");
    case Program::Demo:
        return QStringLiteral("Окно программы vardex с симулированным контроллером Quellbox:\n"
                              "попробовать программу без оборудования.");
    case Program::Cli:
        break;
    }
    return QStringLiteral("Контроллер-монитор Quellbox из терминала.");
}

} // namespace

QString version()
{
    return QStringLiteral(VARDEX_VERSION);
}

QString programName(Program program)
{
    switch (program) {
    case Program::Window:
        return QStringLiteral("vardex");
    case Program::Demo:
        return QStringLiteral("vardex-demo");
    case Program::Cli:
        break;
    }
    return QStringLiteral("vardex-cli");
}

QString versionText(Program program)
{
    return QStringLiteral("%1 %2\n").arg(programName(program), version());
}

Early earlyRequest(const QStringList &args)
{
    for (const QString &a : args) {
        if (a == QLatin1String("--"))
            break;
        if (a == QLatin1String("--help") || a == QLatin1String("-h"))
            return Early::Help;
        if (a == QLatin1String("--version") || a == QLatin1String("-v"))
            return Early::Version;
    }
    return Early::None;
}

WindowOptions parseWindowOptions(Program program, const QStringList &args)
{
    WindowOptions out;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        const qsizetype eq = a.indexOf(QLatin1Char('='));
        const QString name =
            a.startsWith(QLatin1String("--")) ? a.mid(2, eq < 0 ? -1 : eq - 2) : QString();
        const OptionSpec *o = findOption(program, name);
        if (!o) {
            if (const int qt = qtOptionLength(args, i)) {
                i += qt - 1;
                continue;
            }
        }
        if (!a.startsWith(QLatin1String("--")) || a.size() == 2) {
            out.error = QStringLiteral("лишний аргумент «%1»").arg(a);
            return out;
        }
        if (!o) {
            out.error = QStringLiteral("неизвестный параметр «%1»").arg(a);
            return out;
        }
        QString value;
        if (o->valueName) {
            if (eq >= 0)
                value = a.mid(eq + 1);
            else if (i + 1 < args.size())
                value = args[++i];
            if (value.isEmpty()) {
                out.error = QStringLiteral("--%1: не указан %2")
                                .arg(QLatin1String(o->name), QString::fromUtf8(o->valueName));
                return out;
            }
        } else if (eq >= 0) {
            out.error = QStringLiteral("--%1 не принимает значения").arg(QLatin1String(o->name));
            return out;
        }
        if (name == QLatin1String("service"))
            out.service = true;
        else if (name == QLatin1String("doctor"))
            out.doctor = true;
        else if (name == QLatin1String("firmware23"))
            out.firmware23 = true;
        else if (name == QLatin1String("trace"))
            out.trace = value;
        else if (name == QLatin1String("watch"))
            out.watch = value;
        else if (name == QLatin1String("watch-output")) {
            out.watchOutput = service::watchdogOutputOfWord(value);
            if (out.watchOutput < 0) {
                out.error = QStringLiteral("--watch-output %1: ожидается relay1..relay6, h1..h4 "
                                           "или l1..l4")
                                .arg(value);
                return out;
            }
        }
    }
    // Never a default output: the wrong one would power-cycle another machine. A watch
    // nobody sees (the page is hidden without --service) is not started either.
    if (!out.watch.isEmpty() && !out.service)
        out.error = QStringLiteral("--watch: сторож работает только вместе с --service");
    else if (!out.watch.isEmpty() && out.watchOutput < 0)
        out.error = QStringLiteral("--watch: не указан выход (--watch-output relay1 …)");
    else if (out.watch.isEmpty() && out.watchOutput >= 0)
        out.error = QStringLiteral("--watch-output: только вместе с --watch УЗЕЛ");
    return out;
}

QString helpText(Program program)
{
    QStringList rows;
    QStringList helps;
    for (const OptionSpec &o : kOptions) {
        if (!offered(o, program))
            continue;
        QString row = QStringLiteral("--") + QLatin1String(o.name);
        if (o.valueName)
            row += QLatin1Char(' ') + QString::fromUtf8(o.valueName);
        rows << row;
        helps << QString::fromUtf8(o.help);
    }
    rows << QStringLiteral("-h, --help") << QStringLiteral("-v, --version");
    helps << QStringLiteral("показать эту справку и выйти")
          << QStringLiteral("показать версию программы и выйти");
    qsizetype width = 0;
    for (const QString &r : rows)
        width = std::max(width, r.size());
    QString text = QStringLiteral("Использование: %1 [ПАРАМЕТРЫ]\n\n%2\n\nПараметры:\n")
                       .arg(programName(program), description(program));
    // Descriptions wrap at 80 columns, under their own start.
    constexpr qsizetype kColumns = 80;
    const qsizetype indent = width + 4;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        QString line = QStringLiteral("  %1  ").arg(rows[i], -int(width));
        qsizetype used = indent;
        for (const QString &word : helps[i].split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            if (used > indent && used + 1 + word.size() > kColumns) {
                text += line + QLatin1Char('\n');
                line = QString(indent, QLatin1Char(' '));
                used = indent;
            } else if (used > indent) {
                line += QLatin1Char(' ');
                ++used;
            }
            line += word;
            used += word.size();
        }
        text += line + QLatin1Char('\n');
    }
    return text;
}

QString usageError(Program program, const QString &error)
{
    return QStringLiteral("%1: %2\nСправка: %1 --help\n").arg(programName(program), error);
}

QString qtTranslationLocale(const QStringList &uiLanguages)
{
    for (QString language : uiLanguages) {
        language.replace(QLatin1Char('-'), QLatin1Char('_'));
        if (language == QLatin1String("ru") || language.startsWith(QLatin1String("ru_")))
            return language;
    }
    return QStringLiteral("ru");
}

QStringList argumentsOf(int argc, char **argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    return args;
}

WindowStart startWindowProgram(Program program, const QStringList &args)
{
    WindowStart start;
    switch (earlyRequest(args)) {
    case Early::Help:
        start.out = helpText(program);
        start.exitCode = 0;
        return start;
    case Early::Version:
        start.out = versionText(program);
        start.exitCode = 0;
        return start;
    case Early::None:
        break;
    }
    start.options = parseWindowOptions(program, args);
    if (!start.options.error.isEmpty()) {
        start.err = usageError(program, start.options.error);
        start.exitCode = 2;
    }
    return start;
}

} // namespace vardex::program

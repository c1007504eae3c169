#include "program/command_line.h"

#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace vardex::program;

namespace {

QStringList words(const char *line)
{
    return QString::fromUtf8(line).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// One command line of a window program and what it must come to.
struct Line {
    Program program;
    const char *args;
    bool service, doctor, firmware23;
    const char *trace, *watch;
    const char *error; // a part of the error, "" when the line is right
};

const Line kLines[] = {
    {Program::Window, "", false, false, false, "", "", ""},
    {Program::Window, "--service --trace /tmp/t.txt", true, false, false, "/tmp/t.txt", "", ""},
    {Program::Window, "--trace=/tmp/a=b.txt --doctor", false, true, false, "/tmp/a=b.txt", "", ""},
    {Program::Demo, "--firmware23 --service --watch 127.0.0.1 --watch-output relay1", true, false,
     true, "", "127.0.0.1", ""},
    {Program::Demo, "--doctor", false, true, false, "", "", ""},
    {Program::Window, "--service --watch 127.0.0.1 --watch-output=l4", true, false, false, "",
     "127.0.0.1", ""},
    // A watch needs its output (never a default) and the service pages it runs on.
    {Program::Window, "--service --watch 127.0.0.1", false, false, false, "", "",
     "--watch: не указан выход (--watch-output relay1 …)"},
    {Program::Demo, "--watch 127.0.0.1 --watch-output relay1", false, false, false, "", "",
     "--watch: сторож работает только вместе с --service"},
    {Program::Window, "--service --watch-output relay1", false, false, false, "", "",
     "--watch-output: только вместе с --watch УЗЕЛ"},
    {Program::Window, "--service --watch 127.0.0.1 --watch-output relay7", false, false, false, "",
     "", "--watch-output relay7: ожидается relay1..relay6"},
    // The window has no simulated firmware.
    {Program::Window, "--firmware23", false, false, false, "", "",
     "неизвестный параметр «--firmware23»"},
    {Program::Window, "--trace", false, false, false, "", "", "--trace: не указан ФАЙЛ"},
    {Program::Window, "--trace=", false, false, false, "", "", "--trace: не указан ФАЙЛ"},
    {Program::Demo, "--service=yes", false, false, false, "", "",
     "--service не принимает значения"},
    {Program::Window, "extra", false, false, false, "", "", "лишний аргумент «extra»"},
    {Program::Window, "-x", false, false, false, "", "", "лишний аргумент «-x»"},
    // Qt's own options are QApplication's; they pass here unseen.
    {Program::Window, "-platform offscreen --service -reverse", true, false, false, "", "", ""},
    {Program::Demo, "--style=Fusion --trace t.txt --platform xcb", false, false, false, "t.txt", "",
     ""},
};

} // namespace

TEST(WindowCommandLine, OptionsOfBothWindowPrograms)
{
    for (const Line &l : kLines) {
        const WindowOptions o = parseWindowOptions(l.program, words(l.args));
        SCOPED_TRACE(std::string(programName(l.program).toStdString()) + " " + l.args);
        if (*l.error) {
            EXPECT_TRUE(o.error.contains(QString::fromUtf8(l.error))) << o.error.toStdString();
            continue;
        }
        EXPECT_TRUE(o.error.isEmpty()) << o.error.toStdString();
        EXPECT_EQ(o.service, l.service);
        EXPECT_EQ(o.doctor, l.doctor);
        EXPECT_EQ(o.firmware23, l.firmware23);
        EXPECT_EQ(o.trace, QString::fromUtf8(l.trace));
        EXPECT_EQ(o.watch, QString::fromUtf8(l.watch));
    }
}

TEST(WindowCommandLine, AWatchWithoutItsOutputEndsAsAUsageErrorBeforeAnyWindow)
{
    const WindowStart start =
        startWindowProgram(Program::Window, words("--service --watch 192.0.2.7"));
    EXPECT_EQ(start.exitCode, 2);
    EXPECT_EQ(start.err, "vardex: --watch: не указан выход (--watch-output relay1 …)\n"
                         "Справка: vardex --help\n");
    EXPECT_TRUE(start.out.isEmpty());
}

TEST(WindowCommandLine, HelpAndVersionAreAskedBeforeAnyWindow)
{
    EXPECT_EQ(earlyRequest(words("--service --help")), Early::Help);
    EXPECT_EQ(earlyRequest(words("-h")), Early::Help);
    EXPECT_EQ(earlyRequest(words("--version --help")), Early::Version) << "the first wins";
    EXPECT_EQ(earlyRequest(words("-v")), Early::Version);
    EXPECT_EQ(earlyRequest(words("--trace --help")), Early::Help);
    EXPECT_EQ(earlyRequest(words("--service")), Early::None);
    EXPECT_EQ(earlyRequest(words("-- --version")), Early::None);
}

TEST(WindowCommandLine, HelpIsRussianAndListsEveryOptionOnce)
{
    for (Program p : {Program::Window, Program::Demo}) {
        const QString help = helpText(p);
        EXPECT_TRUE(help.startsWith("Использование: " + programName(p) + " [ПАРАМЕТРЫ]\n"))
            << help.toStdString();
        EXPECT_TRUE(help.contains("Параметры:"));
        for (const char *option :
             {"--service", "--trace ФАЙЛ", "--doctor", "-h, --help", "-v, --version"})
            EXPECT_EQ(help.count(QStringLiteral("\n  ") + QString::fromUtf8(option)), 1)
                << option << "\n"
                << help.toStdString();
        // Nothing left in English from a library.
        for (const char *english : {"Usage", "Options", "Displays"})
            EXPECT_FALSE(help.contains(QLatin1String(english))) << english;
        for (const QString &line : help.split('\n')) {
            EXPECT_FALSE(line.endsWith(' ')) << line.toStdString();
            if (line.startsWith(QLatin1String("  "))) {
                EXPECT_LE(line.size(), 80) << line.toStdString();
            }
        }
    }
    EXPECT_TRUE(helpText(Program::Demo).contains("--firmware23"));
    EXPECT_FALSE(helpText(Program::Window).contains("--firmware23"));
    EXPECT_EQ(usageError(Program::Window, "неизвестный параметр «--x»"),
              "vardex: неизвестный параметр «--x»\nСправка: vardex --help\n");
}

TEST(ProgramVersion, EveryProgramNamesItselfAndTheProjectsVersion)
{
    EXPECT_EQ(versionText(Program::Window), "vardex " + version() + "\n");
    EXPECT_EQ(versionText(Program::Demo), "vardex-demo " + version() + "\n");
    EXPECT_EQ(versionText(Program::Cli), "vardex-cli " + version() + "\n");
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^\\d+\\.\\d+(\\.\\d+)?$")).match(version()).hasMatch())
        << version().toStdString();
}

TEST(QtTranslation, QtsOwnTextsFollowTheRussianInterface)
{
    EXPECT_EQ(qtTranslationLocale({"ru-RU", "ru", "en-US"}), "ru_RU");
    EXPECT_EQ(qtTranslationLocale({"uk-UA", "ru-UA"}), "ru_UA");
    EXPECT_EQ(qtTranslationLocale({"en-US", "en"}), "ru") << "the window is Russian anyway";
    EXPECT_EQ(qtTranslationLocale({}), "ru");
    EXPECT_EQ(qtTranslationLocale({"rue"}), "ru") << "Rusyn is not Russian";
}

// The built programs answer --version and --help on a terminal without a display.
TEST(ProgramVersion, TheBuiltProgramsAnswerWithoutADisplay)
{
    for (Program p : {Program::Window, Program::Demo, Program::Cli}) {
        const QString exe = QStringLiteral(VARDEX_PROGRAMS_DIR "/") + programName(p);
        for (const char *option : {"--version", "--help"}) {
            QProcess run;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.remove(QStringLiteral("DISPLAY"));
            env.remove(QStringLiteral("WAYLAND_DISPLAY"));
            env.remove(QStringLiteral("QT_QPA_PLATFORM"));
            run.setProcessEnvironment(env);
            run.start(exe, {QString::fromLatin1(option)});
            ASSERT_TRUE(run.waitForFinished(60000)) << exe.toStdString();
            const QString out = QString::fromUtf8(run.readAllStandardOutput());
            EXPECT_EQ(run.exitCode(), 0) << exe.toStdString() << " " << option;
            if (QLatin1String(option) == QLatin1String("--version"))
                EXPECT_EQ(out, versionText(p));
            else
                EXPECT_TRUE(out.startsWith("Использование: " + programName(p)))
                    << out.toStdString();
        }
    }
}

#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The three programs' names, version, Russian help and the options of the two window
// programs, parsed before any window (or display) exists, so `--help` and
// `--version` work on a terminal without a display.
namespace vardex::program {

enum class Program { Window, Demo, Cli };

// "3.19", from the build (the project's version).
QString version();
QString programName(Program program);
// "vardex 3.19\n"
QString versionText(Program program);

enum class Early { None, Help, Version };
// Whether the arguments (without the program name) ask for help or the version; the
// first of the two wins, wherever it stands.
Early earlyRequest(const QStringList &args);

struct WindowOptions {
    bool service = false;
    bool doctor = false;
    bool firmware23 = false; // the demo only
    QString trace;           // file, empty: none
    QString watch;           // host, empty: none
    int watchOutput = -1;    // item of the watchdog's output list, with watch
    QString error;           // what was wrong, empty when the arguments are right
};
// The options of vardex or vardex-demo. Qt's own ("-platform offscreen", "--style
// Fusion", "-reverse") are left to QApplication and pass here unseen, so the whole
// command line is checked before a display is opened.
WindowOptions parseWindowOptions(Program program, const QStringList &args);

// The arguments after the program name, in the locale's encoding.
QStringList argumentsOf(int argc, char **argv);

// What a window program does before it opens a display: on help, version or a wrong
// option it ends there (exitCode, with what to print on each stream); otherwise it goes
// on with the options.
struct WindowStart {
    WindowOptions options;
    std::optional<int> exitCode;
    QString out;
    QString err;
};
WindowStart startWindowProgram(Program program, const QStringList &args);

// The whole help of vardex or vardex-demo, in Russian.
QString helpText(Program program);
// "vardex: <error>\nСправка: vardex --help\n"
QString usageError(Program program, const QString &error);

// Qt's own dialogs and buttons speak the interface's language, Russian: the system's
// Russian variant when it lists one ("ru_UA"), else "ru".
QString qtTranslationLocale(const QStringList &uiLanguages);

} // namespace vardex::program

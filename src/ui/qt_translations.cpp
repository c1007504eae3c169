#include "ui/qt_translations.h"

#include "program/command_line.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace vardex::ui {

QString installQtTranslations()
{
    const QString locale = program::qtTranslationLocale(QLocale::system().uiLanguages());
    auto *translator = new QTranslator(QCoreApplication::instance());
    // "qtbase_ru_UA" falls back to "qtbase_ru" by itself.
    if (!translator->load(QStringLiteral("qtbase_") + locale,
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return {};
    }
    QCoreApplication::installTranslator(translator);
    return translator->language();
}

} // namespace vardex::ui

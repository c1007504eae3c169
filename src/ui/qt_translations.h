#pragma once

#include <QString>

namespace vardex::ui {

// Installs Qt's own translations (Debian's qt6-translations-l10n: "qtbase_ru.qm") so
// standard dialogs and buttons ("Открыть", "Да", "Нет") speak the interface's Russian.
// Returns the file's locale name, or an empty string when no translation was found
// (then Qt's texts stay English; nothing else changes).
QString installQtTranslations();

} // namespace vardex::ui

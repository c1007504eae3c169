#pragma once

#include <QString>

// The one filter list of the program's file dialogs: every page offers all kinds,
// and picks its own kind by index (1-based, as the dialog seam counts).
namespace vardex::files {

inline const QString kOpenDialogFilter = QStringLiteral(
    "Файл  контуров управления *.upr|*.upr|Файл  конфигурации  *.cfg|*.cfg|Файл прошивки "
    "*.hex|*.hex|Файл протокола работы *.log|*.log|Файл прошивки *.bin|*.bin|Файл битовой "
    "картинки *.fgd|*.fgd");
inline const QString kSaveDialogFilter = QStringLiteral(
    "Файл  контуров управления *.upr|*.upr|Файл конфигурации *.cfg|*.cfg|Файл протокола "
    "работы *.log|*.log|Файл битовой картинки *.fgd| *.fgd");

} // namespace vardex::files

#pragma once

#include <QString>
#include <QStringList>

#include "common/mask_bits.h"
#include "kit/widgets/control_helpers.h"

#include <cstdint>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QSpinBox;

class QWidget;

// Small builders shared by the configuration pages: controls get their system
// names (family name + number) so handlers and tests find them by composing.
namespace vardex::ui {
class NumberEdit;
}

namespace vardex::config {

QCheckBox *makeCheck(QWidget *parent, const char *family, int n, const QString &caption);
// A numeric edit that clamps and stores on every change.
ui::NumberEdit *makeNumberEdit(QWidget *parent, const char *family, int n, double min, double max,
                               int maxDecimals, int width = 76);
// An integer edit with up/down buttons and the focus tint.
QSpinBox *makeSpinEdit(QWidget *parent, const QString &name, int min, int max, int width = 60);
// A drop-down list that cannot be typed into, with the focus tint.
QComboBox *makeList(QWidget *parent, const QString &name, const QStringList &items);
QGroupBox *makeGroup(QWidget *parent, const QString &title);
QLabel *makeColumnCaption(QWidget *parent, const QString &text);

// Shows index as the list's item, or no item for a code the list does not have.
void showListItem(QComboBox *list, int index);

} // namespace vardex::config

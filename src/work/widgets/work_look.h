#pragma once

#include "kit/widgets/control_helpers.h"

#include <QColor>
#include <QString>

class QCheckBox;
class QGroupBox;
class QLabel;
class QWidget;

// Shared looks and hints of the Work page's controls.
namespace vardex::ui::worklook {

inline const QColor kActive{0, 128, 0};    // an active output or contact, a running poll
inline const QColor kFlagSet{231, 96, 22}; // a set system flag
inline const QColor kPlain{0, 0, 0};

void setTextColour(QWidget *w, const QColor &colour);
// Green and bold, or black and regular.
void setActiveLook(QWidget *w, bool active);
// Flag colour or black; never bold.
void setFlagLook(QWidget *w, bool set);

// A sunken value field showing "0.0", disabled until a description enables it. Wide
// enough for every reading a sensor gives; a wider value is shown cut with a visible
// "…" and whole in the field's hint (see setValueText).
QLabel *valueField(const QString &name, QWidget *parent);
// Shows text in a value field: whole when it fits, otherwise its front (sign and
// leading digits) followed by "…", with the whole value in the tooltip and status tip. The field's
// own hint, if any, stays in front.
void setValueText(QLabel *field, const QString &text);
// The whole value a field shows (also when it had to be cut).
QString valueText(const QLabel *field);
// A check box that takes the room of its bold caption from the start, so turning the
// active look on and off never changes its size and the grid never reflows.
QCheckBox *checkBox(const QString &name, const QString &caption, int tag, QWidget *parent);
QGroupBox *groupBox(const QString &name, const QString &title, QWidget *parent);

} // namespace vardex::ui::worklook

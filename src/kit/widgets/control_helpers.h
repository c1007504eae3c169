#pragma once

#include <QString>

class QComboBox;
class QWidget;

// Small builders every page shares.
namespace vardex::ui {

// A family member's system name: family + number (cbRelay + 3 -> cbRelay3), so code
// and tests find a member by composing.
QString memberName(const char *family, int number);

// The long hint goes to the hint line (status tip); withTooltip also shows it as a
// tooltip (the Work page only). A control under the mouse shows the new hint on the
// line at once.
void setHint(QWidget *w, const QString &hint, bool withTooltip);

// The mode list of a loop input: "Прямой" (0) or "Инвер." (1), with the focus tint.
QComboBox *makeModeList(const QString &name, QWidget *parent);

} // namespace vardex::ui

#include "kit/widgets/control_helpers.h"

#include "kit/widgets/focus_tint.h"

#include <QApplication>
#include <QComboBox>
#include <QStatusTipEvent>
#include <QWidget>

namespace vardex::ui {

QString memberName(const char *family, int number)
{
    return QLatin1String(family) + QString::number(number);
}

void setHint(QWidget *w, const QString &hint, bool withTooltip)
{
    w->setStatusTip(hint);
    if (withTooltip)
        w->setToolTip(hint);
    if (w->underMouse()) {
        QStatusTipEvent tip(hint);
        QApplication::sendEvent(w, &tip);
    }
}

QComboBox *makeModeList(const QString &name, QWidget *parent)
{
    auto *box = new QComboBox(parent);
    box->setObjectName(name);
    box->addItems({QStringLiteral("Прямой"), QStringLiteral("Инвер.")});
    installFocusTint(box);
    return box;
}

} // namespace vardex::ui

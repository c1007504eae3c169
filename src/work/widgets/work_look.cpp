#include "work/widgets/work_look.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QStatusTipEvent>

namespace vardex::ui::worklook {

void setTextColour(QWidget *w, const QColor &colour)
{
    QPalette p = w->palette();
    // Check boxes and labels draw with WindowText, push buttons with ButtonText.
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText}) {
        p.setColor(QPalette::Active, role, colour);
        p.setColor(QPalette::Inactive, role, colour);
        // A coloured state stays readable on display-only (disabled) boxes; plain
        // text keeps the greyed look of a disabled control.
        p.setColor(QPalette::Disabled, role,
                   colour == kPlain ? qApp->palette().color(QPalette::Disabled, role) : colour);
    }
    w->setPalette(p);
}

void setActiveLook(QWidget *w, bool active)
{
    setTextColour(w, active ? kActive : kPlain);
    QFont f = w->font();
    f.setBold(active);
    w->setFont(f);
}

void setFlagLook(QWidget *w, bool set)
{
    setTextColour(w, set ? kFlagSet : kPlain);
}

QLabel *valueField(const QString &name, QWidget *parent)
{
    auto *field = new QLabel(QStringLiteral("0.0"), parent);
    field->setObjectName(name);
    field->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    field->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    field->setMargin(1);
    // Wide enough for the widest reading a sensor can send, so fields do not jump.
    field->setFixedWidth(field->fontMetrics().horizontalAdvance(QStringLiteral("-16384.0")) + 10);
    field->setEnabled(false);
    return field;
}

QCheckBox *checkBox(const QString &name, const QString &caption, int tag, QWidget *parent)
{
    auto *box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    box->setProperty("tag", tag);
    return box;
}

QGroupBox *groupBox(const QString &name, const QString &title, QWidget *parent)
{
    auto *group = new QGroupBox(title, parent);
    group->setObjectName(name);
    return group;
}

} // namespace vardex::ui::worklook

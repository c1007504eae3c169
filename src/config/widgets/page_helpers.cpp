#include "config/widgets/page_helpers.h"

#include "kit/widgets/focus_tint.h"
#include "kit/widgets/number_edit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QSpinBox>

namespace vardex::config {

QCheckBox *makeCheck(QWidget *parent, const char *family, int n, const QString &caption)
{
    auto *box = new QCheckBox(caption, parent);
    box->setObjectName(ui::memberName(family, n));
    box->setProperty("item", n);
    return box;
}

ui::NumberEdit *makeNumberEdit(QWidget *parent, const char *family, int n, double min, double max,
                               int maxDecimals, int width)
{
    auto *edit =
        new ui::NumberEdit(min, max, maxDecimals, ui::NumberEdit::Commit::OnChange, parent);
    edit->setObjectName(ui::memberName(family, n));
    edit->setProperty("item", n);
    edit->setFixedWidth(width);
    return edit;
}

QSpinBox *makeSpinEdit(QWidget *parent, const QString &name, int min, int max, int width)
{
    auto *edit = new QSpinBox(parent);
    edit->setObjectName(name);
    edit->setRange(min, max);
    edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    edit->setFixedWidth(width);
    ui::installFocusTint(edit);
    return edit;
}

QComboBox *makeList(QWidget *parent, const QString &name, const QStringList &items)
{
    auto *list = new QComboBox(parent);
    list->setObjectName(name);
    list->addItems(items);
    list->setEditable(false);
    ui::installFocusTint(list);
    return list;
}

QGroupBox *makeGroup(QWidget *parent, const QString &title)
{
    auto *group = new QGroupBox(title, parent);
    return group;
}

QLabel *makeColumnCaption(QWidget *parent, const QString &text)
{
    auto *label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    return label;
}

void showListItem(QComboBox *list, int index)
{
    const QSignalBlocker block(list);
    list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
}

} // namespace vardex::config

#include "kit/widgets/focus_tint.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QPalette>
#include <QStyle>
#include <QWidget>

namespace vardex::ui {

namespace {

const QColor kFocusColour(222, 237, 222);

void paintBase(QWidget *w, bool focused)
{
    QPalette p = w->palette();
    const QColor base =
        focused ? kFocusColour : w->style()->standardPalette().color(QPalette::Base);
    p.setColor(QPalette::Base, base);
    w->setPalette(p);
    // Spin boxes and editable combo boxes paint through their inner line edit.
    if (auto *spin = qobject_cast<QAbstractSpinBox *>(w)) {
        if (auto *edit = spin->findChild<QLineEdit *>())
            edit->setPalette(p);
    }
}

class FocusTintFilter : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
            if (auto *w = qobject_cast<QWidget *>(watched))
                paintBase(w, event->type() == QEvent::FocusIn);
        }
        return false;
    }
};

FocusTintFilter *filter()
{
    static auto *instance = new FocusTintFilter;
    return instance;
}

} // namespace

void installFocusTint(QWidget *editor)
{
    editor->setProperty("vardexFocusTint", true);
    editor->installEventFilter(filter());
}

} // namespace vardex::ui

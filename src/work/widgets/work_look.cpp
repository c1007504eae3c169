#include "work/widgets/work_look.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QStatusTipEvent>
#include <QStyle>
#include <QStyleOptionButton>

#include <algorithm>

namespace vardex::ui::worklook {

namespace {

const char *const kWholeValue = "wholeValue";
const char *const kOwnHint = "ownHint";
const char *const kShownRoom = "shownRoom";
const char *const kLook = "lookShown";

// Sets the hints only when they differ: every set sends a change event, and a poll
// shows every field every second.
void setHints(QWidget *w, const QString &hint)
{
    if (w->toolTip() != hint)
        w->setToolTip(hint);
    if (w->statusTip() != hint)
        w->setStatusTip(hint);
}

// The look last given to w (colour and weight), so that a poll showing the same state
// again builds no palette or font.
bool sameLook(QWidget *w, const QColor &colour, int weight)
{
    const QString look = QStringLiteral("%1/%2").arg(colour.rgba()).arg(weight);
    if (w->property(kLook).toString() == look)
        return true;
    w->setProperty(kLook, look);
    return false;
}

// Sized for its caption in bold, whatever the font is now. Measured afresh each time
// (QCheckBox keeps its hint cached across font changes), the way QCheckBox measures.
class SteadyCheckBox final : public QCheckBox {
public:
    using QCheckBox::QCheckBox;
    QSize sizeHint() const override
    {
        QStyleOptionButton opt;
        initStyleOption(&opt);
        QFont bold = font();
        bold.setBold(true);
        const QFontMetrics fm(bold);
        QSize text =
            style()->itemTextRect(fm, QRect(), Qt::TextShowMnemonic, false, this->text()).size();
        if (!opt.icon.isNull())
            text = QSize(text.width() + opt.iconSize.width() + 4,
                         std::max(text.height(), opt.iconSize.height()));
        return style()->sizeFromContents(QStyle::CT_CheckBox, &opt, text, this);
    }
    QSize minimumSizeHint() const override { return sizeHint(); }
};

} // namespace

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
    if (sameLook(w, active ? kActive : kPlain, active ? 1 : 0))
        return;
    setTextColour(w, active ? kActive : kPlain);
    QFont f = w->font();
    f.setBold(active);
    w->setFont(f);
}

void setFlagLook(QWidget *w, bool set)
{
    if (sameLook(w, set ? kFlagSet : kPlain, -1))
        return;
    setTextColour(w, set ? kFlagSet : kPlain);
}

QLabel *valueField(const QString &name, QWidget *parent)
{
    auto *field = new QLabel(QStringLiteral("0.0"), parent);
    field->setObjectName(name);
    field->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    field->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    field->setMargin(1);
    // Fixed, so fields never jump: room for the widest reading a sensor sends; a wider
    // value (an analog channel's float can carry any) is cut visibly by setValueText.
    // Fixed in height too: a new value then only repaints the field and never asks the
    // window for a new layout.
    field->setFixedSize(field->fontMetrics().horizontalAdvance(QStringLiteral("-16384.0")) + 10,
                        field->sizeHint().height());
    field->setEnabled(false);
    return field;
}

void setValueText(QLabel *field, const QString &text)
{
    const int room = field->contentsRect().width() - 2 * field->margin();
    // The same value in the same room: nothing to show anew.
    const QVariant shown = field->property(kWholeValue);
    if (shown.isValid() && shown.toString() == text && field->property(kShownRoom).toInt() == room)
        return;
    field->setProperty(kWholeValue, text);
    field->setProperty(kShownRoom, room);
    if (!field->property(kOwnHint).isValid())
        field->setProperty(kOwnHint, field->statusTip());
    const QString ownHint = field->property(kOwnHint).toString();
    const QFontMetrics fm = field->fontMetrics();
    if (fm.horizontalAdvance(text) <= room) {
        field->setText(text);
        setHints(field, ownHint);
        return;
    }
    // The front keeps the sign and the leading digits; "…" says digits are missing
    // behind them, and the hint holds the whole value.
    field->setText(fm.elidedText(text, Qt::ElideRight, room));
    setHints(field, ownHint.isEmpty() ? text : ownHint + QStringLiteral(": ") + text);
}

QString valueText(const QLabel *field)
{
    const QVariant whole = field->property(kWholeValue);
    return whole.isValid() ? whole.toString() : field->text();
}

QCheckBox *checkBox(const QString &name, const QString &caption, int tag, QWidget *parent)
{
    auto *box = new SteadyCheckBox(caption, parent);
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

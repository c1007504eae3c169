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
    // Fixed, so fields never jump: room for the widest reading a sensor sends; a wider
    // value (an analog channel's float can carry any) is cut visibly by setValueText.
    field->setFixedWidth(field->fontMetrics().horizontalAdvance(QStringLiteral("-16384.0")) + 10);
    field->setEnabled(false);
    return field;
}

void setValueText(QLabel *field, const QString &text)
{
    field->setProperty(kWholeValue, text);
    if (!field->property(kOwnHint).isValid())
        field->setProperty(kOwnHint, field->statusTip());
    const QString ownHint = field->property(kOwnHint).toString();
    const int room = field->contentsRect().width() - 2 * field->margin();
    const QFontMetrics fm = field->fontMetrics();
    if (fm.horizontalAdvance(text) <= room) {
        field->setText(text);
        field->setToolTip(ownHint);
        field->setStatusTip(ownHint);
        return;
    }
    // The end keeps the decimal point in view; "…" says digits are missing in front.
    field->setText(fm.elidedText(text, Qt::ElideLeft, room));
    const QString whole = ownHint.isEmpty() ? text : ownHint + QStringLiteral(": ") + text;
    field->setToolTip(whole);
    field->setStatusTip(whole);
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

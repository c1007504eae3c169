#include "loops/widgets/number_edit.h"

#include "ui/focus_tint.h"

#include <QLineEdit>
#include <QLocale>

namespace vardex::loops {

NumberEdit::NumberEdit(double minimum, double maximum, int decimals, QWidget *parent)
    : QDoubleSpinBox(parent)
{
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::OmitGroupSeparator);
    setLocale(c);
    setDecimals(decimals);
    setRange(minimum, maximum);
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    setKeyboardTracking(false);
    setButtonSymbols(QAbstractSpinBox::NoButtons);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ui::installFocusTint(this);
    connect(lineEdit(), &QLineEdit::textEdited, this, [this] { m_userChanged = true; });
    connect(this, &QAbstractSpinBox::editingFinished, this, [this] {
        if (m_userChanged)
            emit committed();
    });
}

void NumberEdit::showValue(double value)
{
    setValue(value);
    m_userChanged = false;
}

void NumberEdit::commitPending()
{
    if (!m_userChanged)
        return;
    interpretText();
    emit committed();
}

QString NumberEdit::textFromValue(double value) const
{
    QString text = locale().toString(value, 'f', decimals());
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    if (text == QLatin1String("-0"))
        text = QStringLiteral("0");
    return text;
}

QValidator::State NumberEdit::validate(QString &text, int &pos) const
{
    const QValidator::State state = QDoubleSpinBox::validate(text, pos);
    if (state != QValidator::Invalid)
        return state;
    // A number outside the range is still typed; leaving the edit clamps it.
    bool ok = false;
    locale().toDouble(text, &ok);
    return ok ? QValidator::Intermediate : QValidator::Invalid;
}

void NumberEdit::fixup(QString &text) const
{
    bool ok = false;
    const double v = locale().toDouble(text, &ok);
    if (ok)
        text = textFromValue(qBound(minimum(), v, maximum()));
    else
        QDoubleSpinBox::fixup(text);
}

void NumberEdit::stepBy(int steps)
{
    QDoubleSpinBox::stepBy(steps);
    m_userChanged = true;
}

} // namespace vardex::loops

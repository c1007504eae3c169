#include "config/widgets/number_edit.h"

#include "config/conversions.h"

#include <QLineEdit>
#include <QSignalBlocker>

namespace vardex::config {

namespace {

// Wide enough to let any typed number through to the clamp.
constexpr double kTypingLimit = 1e12;

bool parse(QString text, double *value)
{
    text = text.trimmed();
    text.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (ok && value)
        *value = v;
    return ok;
}

} // namespace

NumberEdit::NumberEdit(double minimum, double maximum, int maxDecimals, QWidget *parent)
    : QDoubleSpinBox(parent), m_min(minimum), m_max(maximum), m_maxDecimals(maxDecimals)
{
    setDecimals(maxDecimals);
    setRange(-kTypingLimit, kTypingLimit);
    setButtonSymbols(QAbstractSpinBox::NoButtons);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setKeyboardTracking(true);
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    {
        const QSignalBlocker block(this);
        setValue(minimum);
    }
    connect(this, &QDoubleSpinBox::valueChanged, this, &NumberEdit::onValueChanged);
}

void NumberEdit::setShownValue(double value)
{
    m_showing = true;
    setValue(value);
    m_showing = false;
}

QString NumberEdit::textFromValue(double value) const
{
    return formatNumber(value, m_maxDecimals);
}

double NumberEdit::valueFromText(const QString &text) const
{
    double v = 0;
    parse(text, &v);
    return v;
}

QValidator::State NumberEdit::validate(QString &text, int &) const
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t == QLatin1String("-") || t == QLatin1String("+"))
        return QValidator::Intermediate;
    double v = 0;
    if (!parse(t, &v)) {
        // "1." or "-0," are on their way to a number.
        const QChar last = t.back();
        if ((last == QLatin1Char('.') || last == QLatin1Char(',')) && parse(t.chopped(1), &v))
            return QValidator::Intermediate;
        return QValidator::Invalid;
    }
    return std::abs(v) <= kTypingLimit ? QValidator::Acceptable : QValidator::Invalid;
}

void NumberEdit::fixup(QString &text) const
{
    text = textFromValue(value());
}

void NumberEdit::onValueChanged(double value)
{
    if (m_showing)
        return;
    const double clamped = clampToRange(value, m_min, m_max);
    if (clamped != value) {
        const QSignalBlocker block(this);
        setValue(clamped);
    }
    emit edited(clamped);
}

} // namespace vardex::config

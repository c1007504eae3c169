#include "kit/widgets/number_edit.h"

#include "common/conversions.h"
#include "kit/widgets/focus_tint.h"

#include <QLineEdit>
#include <QLocale>
#include <QSignalBlocker>

#include <algorithm>
#include <cmath>

namespace vardex::ui {

namespace {

// OnChange edits take any number this size while typing and clamp it at once.
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

NumberEdit::NumberEdit(double minimum, double maximum, int maxDecimals, Commit commit,
                       QWidget *parent)
    : QDoubleSpinBox(parent), m_min(minimum), m_max(maximum), m_commit(commit),
      m_typingDecimals(maxDecimals)
{
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::OmitGroupSeparator);
    setLocale(c);
    setDecimals(maxDecimals);
    setButtonSymbols(QAbstractSpinBox::NoButtons);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    installFocusTint(this);
    if (commit == Commit::OnChange) {
        // The spin box's own range lets typed numbers through to the clamp.
        setRange(-kTypingLimit, kTypingLimit);
        setKeyboardTracking(true);
        setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    } else {
        setRange(minimum, maximum);
        setKeyboardTracking(false);
        setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    }
    {
        const QSignalBlocker block(this);
        setValue(minimum);
    }
    connect(this, &QDoubleSpinBox::valueChanged, this, &NumberEdit::onValueChanged);
    connect(lineEdit(), &QLineEdit::textEdited, this, [this](const QString &text) {
        m_userChanged = true;
        double v = 0;
        if (m_clampWhileTyping && parse(text, &v) && (v < m_min || v > m_max))
            lineEdit()->setText(textFromValue(vardex::clampToRange(v, m_min, m_max)));
    });
    connect(this, &QAbstractSpinBox::editingFinished, this, [this] {
        if (m_commit == Commit::OnLeave && m_userChanged)
            emit committed(value());
    });
}

void NumberEdit::showValue(double value)
{
    m_showing = true;
    setValue(value);
    m_showing = false;
    m_userChanged = false;
}

void NumberEdit::commitPending()
{
    if (!m_userChanged)
        return;
    interpretText();
    if (m_commit == Commit::OnLeave)
        emit committed(value());
}

QString NumberEdit::textFromValue(double value) const
{
    return vardex::formatNumber(value, decimals());
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
    const qsizetype point = std::max(t.indexOf(QLatin1Char('.')), t.indexOf(QLatin1Char(',')));
    if (point >= 0 && t.size() - point - 1 > m_typingDecimals)
        return QValidator::Invalid;
    double v = 0;
    if (!parse(t, &v)) {
        // "1." or "-0," are on their way to a number.
        const QChar last = t.back();
        if ((last == QLatin1Char('.') || last == QLatin1Char(',')) && parse(t.chopped(1), &v))
            return QValidator::Intermediate;
        return QValidator::Invalid;
    }
    if (!(std::abs(v) <= kTypingLimit))
        return QValidator::Invalid;
    // OnLeave: a number outside the range is still being typed; leaving clamps it.
    if (m_commit == Commit::OnLeave && (v < m_min || v > m_max))
        return QValidator::Intermediate;
    return QValidator::Acceptable;
}

void NumberEdit::fixup(QString &text) const
{
    if (m_commit == Commit::OnChange) {
        text = textFromValue(value());
        return;
    }
    // Anything that is no number is left to the nearest-value correction.
    double v = 0;
    if (parse(text, &v))
        text = textFromValue(vardex::clampToRange(v, m_min, m_max));
}

void NumberEdit::stepBy(int steps)
{
    QDoubleSpinBox::stepBy(steps);
    m_userChanged = true;
}

void NumberEdit::onValueChanged(double value)
{
    if (m_showing || m_commit != Commit::OnChange)
        return;
    const double clamped = vardex::clampToRange(value, m_min, m_max);
    if (clamped != value) {
        const QSignalBlocker block(this);
        setValue(clamped);
    }
    emit committed(clamped);
}

} // namespace vardex::ui

#pragma once

#include <QDoubleSpinBox>

namespace vardex::ui {

// The numeric edit of the configuration and loop pages. It shows its value with at most
// maxDecimals fraction digits and no trailing zeros (2 is the "0.##" format), accepts a
// comma or a point, takes the focus tint, and reports the user's value through
// `committed` by one of two rules:
// - OnChange: every change is clamped to [minimum, maximum] (above the maximum first,
//   then below the minimum) and reported at once; typing is free until then.
// - OnLeave: typing may leave the range; leaving the edit or pressing Enter clamps and
//   reports, and only if the user changed the value since it was last shown, so that
//   passing through an edit never re-converts (and drifts) a stored raw value.
// showValue() only displays and never reports.
class NumberEdit : public QDoubleSpinBox {
    Q_OBJECT
public:
    enum class Commit { OnChange, OnLeave };

    NumberEdit(double minimum, double maximum, int maxDecimals, Commit commit,
               QWidget *parent = nullptr);

    // Shows a value from the image; clears the changed mark.
    void showValue(double value);
    double minimumValue() const { return m_min; }
    double maximumValue() const { return m_max; }
    Commit commitMode() const { return m_commit; }
    // Fraction digits the user may type; the display keeps maxDecimals.
    void setTypingDecimals(int digits) { m_typingDecimals = digits; }
    // OnLeave: a typed number outside the range is replaced by the nearer bound at once
    // (still reported only on leaving).
    void setClampWhileTyping(bool on) { m_clampWhileTyping = on; }

    bool userChanged() const { return m_userChanged; }
    void clearUserChanged() { m_userChanged = false; }
    // Takes over typed text not yet committed (the edit is about to lose its record).
    void commitPending();

    QString textFromValue(double value) const override;
    double valueFromText(const QString &text) const override;
    QValidator::State validate(QString &text, int &pos) const override;
    void fixup(QString &text) const override;
    void stepBy(int steps) override;

signals:
    // The user's value, already clamped to the range.
    void committed(double value);

private:
    void onValueChanged(double value);

    double m_min;
    double m_max;
    Commit m_commit;
    int m_typingDecimals;
    bool m_clampWhileTyping = false;
    bool m_showing = false;
    bool m_userChanged = false;
};

} // namespace vardex::ui

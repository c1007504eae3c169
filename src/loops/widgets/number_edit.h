#pragma once

#include <QDoubleSpinBox>

namespace vardex::loops {

// A numeric edit of the loop pages: shows its value like the format "0.##" (at most
// `decimals` places, no trailing zeros, a point as separator), accepts out-of-range
// typing and clamps it to the range when the user leaves, and remembers whether the
// user changed the value since it was last shown, so that merely passing through an
// edit never re-converts (and drifts) a stored raw value.
class NumberEdit : public QDoubleSpinBox {
    Q_OBJECT
public:
    NumberEdit(double minimum, double maximum, int decimals, QWidget *parent = nullptr);

    // Shows a value from the image; clears the changed mark.
    void showValue(double value);
    bool userChanged() const { return m_userChanged; }
    void clearUserChanged() { m_userChanged = false; }
    // Takes over typed text not yet committed (the edit loses its loop).
    void commitPending();

    QString textFromValue(double value) const override;
    QValidator::State validate(QString &text, int &pos) const override;
    void fixup(QString &text) const override;
    void stepBy(int steps) override;

signals:
    // The user left the edit (or pressed Enter) after changing its value.
    void committed();

private:
    bool m_userChanged = false;
};

} // namespace vardex::loops

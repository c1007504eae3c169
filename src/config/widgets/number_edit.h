#pragma once

#include <QDoubleSpinBox>

namespace vardex::config {

// A numeric edit with the editors' rules: it shows its value with at most
// maxDecimals fraction digits and no trailing zeros, takes any number while
// typing, and on each change clamps to [minimum, maximum] before reporting
// `edited` (above the maximum first, then below the minimum).
// setShownValue() only displays and never reports.
class NumberEdit : public QDoubleSpinBox {
    Q_OBJECT
public:
    NumberEdit(double minimum, double maximum, int maxDecimals, QWidget *parent = nullptr);

    void setShownValue(double value);
    double minimumValue() const { return m_min; }
    double maximumValue() const { return m_max; }

    QString textFromValue(double value) const override;
    double valueFromText(const QString &text) const override;
    QValidator::State validate(QString &text, int &pos) const override;
    void fixup(QString &text) const override;

signals:
    // The user changed the value; value is already clamped.
    void edited(double value);

private:
    void onValueChanged(double value);

    double m_min;
    double m_max;
    int m_maxDecimals;
    bool m_showing = false;
};

} // namespace vardex::config

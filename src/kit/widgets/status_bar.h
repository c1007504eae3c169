#pragma once

#include <QWidget>

#include <array>

class QLabel;
class QProgressBar;

namespace vardex::ui {

// The six-panel status bar of the main window. Panel widths are fixed
// (100, 50, 50, 50, 144, rest); panel 5 is the hint line. The transfer progress
// bar lies over panel 5.
class StatusBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int kPanelCount = 6;
    static constexpr std::array<int, kPanelCount - 1> kPanelWidths = {100, 50, 50, 50, 144};

    explicit StatusBar(QWidget *parent = nullptr);

    void setPanelText(int panel, const QString &text);
    QString panelText(int panel) const;
    // Takes back a text its caller put there, unless something else was said since.
    void withdrawPanelText(int panel, const QString &text);
    QProgressBar *progressBar() const { return m_progress; }

    // The description of the panel under horizontal position x (empty on borders
    // and over panel 5).
    static QString panelHint(int x);

signals:
    // The status bar's own hint changed (mouse over a panel).
    void hintChanged(const QString &hint);

protected:
    void mouseMoveEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    std::array<QLabel *, kPanelCount> m_panels{};
    QProgressBar *m_progress;
};

} // namespace vardex::ui

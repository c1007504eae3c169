#include "kit/widgets/status_bar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>

namespace vardex::ui {

StatusBar::StatusBar(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("StatusBar1"));
    setMouseTracking(true);
    setFixedHeight(19);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 1, 0, 0);
    layout->setSpacing(2);
    for (int i = 0; i < kPanelCount; ++i) {
        auto *panel = new QLabel(this);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setMouseTracking(true);
        panel->setAttribute(Qt::WA_TransparentForMouseEvents);
        panel->setIndent(3);
        if (i < kPanelCount - 1)
            panel->setFixedWidth(kPanelWidths[i] - 2);
        else
            panel->setMinimumWidth(50);
        layout->addWidget(panel, i == kPanelCount - 1 ? 1 : 0);
        m_panels[i] = panel;
    }
    m_panels[0]->setText(tr("Не подключен"));

    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("ProgressBar1"));
    m_progress->setTextVisible(false);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    // The bar colour of the form: RGB(117, 215, 108).
    m_progress->setStyleSheet(
        QStringLiteral("QProgressBar { border: 1px solid #8a8a8a; background: #f0f0f0; }"
                       "QProgressBar::chunk { background-color: rgb(117, 215, 108); }"));
    m_progress->hide();
}

void StatusBar::setPanelText(int panel, const QString &text)
{
    if (panel >= 0 && panel < kPanelCount)
        m_panels[panel]->setText(text);
}

void StatusBar::withdrawPanelText(int panel, const QString &text)
{
    if (!text.isEmpty() && panelText(panel) == text)
        setPanelText(panel, QString());
}

QString StatusBar::panelText(int panel) const
{
    return panel >= 0 && panel < kPanelCount ? m_panels[panel]->text() : QString();
}

QString StatusBar::panelHint(int x)
{
    if (x >= 1 && x <= 100)
        return tr("Статус подключения по USB");
    if (x >= 102 && x <= 150)
        return tr("Версия прошивки контроллера");
    if (x >= 152 && x <= 200)
        return tr("Вариант конструкции и монтажа контроллера");
    if (x >= 202 && x <= 250)
        return tr("Номер конфигурации железа");
    if (x >= 252 && x <= 394)
        return tr("Текущее время контроллера");
    return {};
}

void StatusBar::mouseMoveEvent(QMouseEvent *event)
{
    const QString hint = panelHint(event->position().toPoint().x());
    setStatusTip(hint);
    emit hintChanged(hint);
    QWidget::mouseMoveEvent(event);
}

void StatusBar::leaveEvent(QEvent *event)
{
    // The panel description belongs to the pointer over the bar; it goes with it.
    setStatusTip({});
    emit hintChanged({});
    QWidget::leaveEvent(event);
}

void StatusBar::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // Lies over panel 5: left 398, top 2, as wide as the bar minus 394.
    m_progress->setGeometry(398, 2, width() - 394, height() - 2);
}

} // namespace vardex::ui

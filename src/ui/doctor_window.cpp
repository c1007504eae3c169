#include "ui/doctor_window.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vardex::ui {

DoctorWindow::DoctorWindow(SystemProbe probe, QWidget *parent)
    : QDialog(parent), m_probe(std::move(probe))
{
    setObjectName(QStringLiteral("DoctorWindow"));
    setWindowTitle(QStringLiteral("Диагностика подключения"));
    auto *layout = new QVBoxLayout(this);
    m_checks = new QTreeWidget(this);
    m_checks->setObjectName(QStringLiteral("DoctorChecks"));
    m_checks->setColumnCount(3);
    m_checks->setHeaderLabels({QStringLiteral("Проверка"), QStringLiteral(""),
                               QStringLiteral("Что видно / что сделать")});
    m_checks->setRootIsDecorated(false);
    m_checks->setWordWrap(true);
    m_checks->setUniformRowHeights(false);
    m_checks->header()->setStretchLastSection(true);
    m_checks->setColumnWidth(0, 170);
    m_checks->setColumnWidth(1, 40);
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("DoctorSummary"));
    m_summary->setWordWrap(true);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton *again =
        buttons->addButton(QStringLiteral("Проверить снова"), QDialogButtonBox::ActionRole);
    again->setObjectName(QStringLiteral("DoctorAgainBtn"));
    layout->addWidget(m_checks, 1);
    layout->addWidget(m_summary);
    layout->addWidget(buttons);
    connect(again, &QPushButton::clicked, this, &DoctorWindow::refresh);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    resize(760, 460);
    refresh();
}

void DoctorWindow::refresh()
{
    m_diagnosis = link::doctor::diagnose(m_probe ? m_probe() : link::doctor::SystemState{});
    m_checks->clear();
    for (const auto &c : m_diagnosis.checks) {
        QString text = c.detail;
        if (!c.ok && !c.todo.isEmpty())
            text += QStringLiteral("\n→ ") + c.todo;
        auto *item = new QTreeWidgetItem(
            m_checks, {c.what, c.ok ? QStringLiteral("ok") : QStringLiteral("нет"), text});
        item->setForeground(1, c.ok ? QColor(0, 128, 0) : QColor(180, 0, 0));
        QFont bold = item->font(1);
        bold.setBold(true);
        item->setFont(1, bold);
    }
    if (m_diagnosis.verdict == link::doctor::Verdict::Ok)
        m_summary->setText(QStringLiteral("Контроллер %1 доступен.").arg(m_diagnosis.node));
    else
        m_summary->setText(QStringLiteral("<b>%1</b><br>%2")
                               .arg(m_diagnosis.reason.toHtmlEscaped(),
                                    m_diagnosis.remedy.toHtmlEscaped().replace(
                                        QLatin1Char('\n'), QStringLiteral("<br>"))));
}

} // namespace vardex::ui

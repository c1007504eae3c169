#include "doctor/widgets/doctor_window.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace vardex::doctor {

namespace {

// Commands keep their line breaks and are set in a fixed font, so they can be copied.
QString remedyHtml(const QString &text)
{
    QStringList lines;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        const bool command = line.startsWith(QLatin1String("  "));
        lines << (command ? QStringLiteral("<code>%1</code>").arg(line.trimmed().toHtmlEscaped())
                          : line.toHtmlEscaped());
    }
    return lines.join(QStringLiteral("<br>"));
}

} // namespace

DoctorWindow::DoctorWindow(SystemProbe probe, QWidget *parent) : QDialog(parent)
{
    m_async.setProbe(std::move(probe));
    setObjectName(QStringLiteral("DoctorWindow"));
    setWindowTitle(QStringLiteral("Диагностика подключения"));
    auto *layout = new QVBoxLayout(this);
    m_checks = new QTextBrowser(this);
    m_checks->setObjectName(QStringLiteral("DoctorChecks"));
    m_checks->setOpenLinks(false);
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("DoctorSummary"));
    m_summary->setWordWrap(true);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *buttons = new QHBoxLayout;
    m_again = new QPushButton(QStringLiteral("Проверить снова"), this);
    m_again->setObjectName(QStringLiteral("DoctorAgainBtn"));
    auto *close = new QPushButton(QStringLiteral("Закрыть"), this);
    close->setObjectName(QStringLiteral("DoctorCloseBtn"));
    buttons->addStretch(1);
    buttons->addWidget(m_again);
    buttons->addWidget(close);
    layout->addWidget(m_checks, 1);
    layout->addWidget(m_summary);
    layout->addLayout(buttons);
    connect(m_again, &QPushButton::clicked, this, &DoctorWindow::refresh);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(&m_async, &AsyncProbe::finished, this, &DoctorWindow::showResult);
    resize(820, 460);
    refresh();
}

QString DoctorWindow::checksHtml(const Diagnosis &d)
{
    QString html = QStringLiteral("<table cellspacing='0' cellpadding='5' width='100%'>");
    for (const auto &c : d.checks) {
        html +=
            QStringLiteral("<tr><td valign='top' width='170'><b>%1</b></td>"
                           "<td valign='top' width='40' style='color:%2'><b>%3</b></td>"
                           "<td valign='top'>%4")
                .arg(c.what.toHtmlEscaped(),
                     c.ok ? QStringLiteral("#008000") : QStringLiteral("#b40000"),
                     c.ok ? QStringLiteral("ok") : QStringLiteral("нет"), c.detail.toHtmlEscaped());
        if (!c.ok && !c.todo.isEmpty())
            html += QStringLiteral("<br>→ ") + remedyHtml(c.todo);
        html += QStringLiteral("</td></tr>");
    }
    return html + QStringLiteral("</table>");
}

void DoctorWindow::refresh()
{
    m_again->setEnabled(false);
    m_summary->setText(QStringLiteral("<b>Проверка…</b>"));
    m_async.start();
}

void DoctorWindow::showResult(const SystemState &state)
{
    m_diagnosis = diagnose(state);
    m_checks->setHtml(checksHtml(m_diagnosis));
    if (m_diagnosis.verdict == Verdict::Ok)
        m_summary->setText(
            QStringLiteral("<b>Контроллер %1 доступен.</b>").arg(m_diagnosis.node.toHtmlEscaped()));
    else
        m_summary->setText(
            QStringLiteral("<b>Итог: %1</b><br>%2")
                .arg(m_diagnosis.reason.toHtmlEscaped(), remedyHtml(m_diagnosis.remedy)));
    m_again->setEnabled(true);
    emit diagnosed();
}

} // namespace vardex::doctor

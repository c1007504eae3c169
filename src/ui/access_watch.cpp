#include "ui/access_watch.h"

#include "kit/widgets/prompts.h"
#include "kit/widgets/status_bar.h"
#include "link/data_module.h"

namespace vardex::ui {

namespace {
constexpr int kLinkPanel = 5;
}

AccessWatch::AccessWatch(link::DataModule &dm, Prompts &prompts, StatusBar &statusBar,
                         QObject *parent)
    : QObject(parent), m_prompts(prompts), m_statusBar(statusBar)
{
    connect(&dm, &link::DataModule::openFailed, this,
            [this](const link::HidDeviceInfo &, const QString &error) { onOpenFailed(error); });
}

void AccessWatch::onOpenFailed(const QString &error)
{
    link::doctor::Diagnosis d;
    if (m_probe)
        d = link::doctor::diagnose(m_probe());
    QString status = link::doctor::statusText(d);
    // The probe may see nothing wrong (a race with udev); the system's words then.
    if (status.isEmpty())
        status = QStringLiteral("Нет доступа к контроллеру: %1").arg(error);
    m_statusBar.setPanelText(kLinkPanel, status);
    if (m_told)
        return;
    m_told = true;
    const QString reason = d.reason.isEmpty() ? error : d.reason;
    QString text = QStringLiteral("Нет доступа к контроллеру: %1.").arg(reason);
    if (!d.remedy.isEmpty())
        text += QStringLiteral("\n\n") + d.remedy;
    text += QStringLiteral("\n\nПодробнее: меню «Сервис» → «Диагностика подключения».");
    m_prompts.message(text, Prompts::Kind::Warning);
}

} // namespace vardex::ui

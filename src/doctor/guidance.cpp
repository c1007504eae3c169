#include "doctor/guidance.h"

namespace vardex::doctor {

Guidance connectionGuidance(bool connected, const std::optional<Diagnosis> &failed,
                            const QString &systemError)
{
    if (connected)
        return {};
    Guidance g;
    g.shown = true;
    if (!failed) {
        g.title = kPlugInTitle;
        g.detail =
            QStringLiteral(
                "Программа найдёт контроллер сама, как только он появится. Если он подключён, "
                "а здесь ничего не меняется, откройте «%1».")
                .arg(kDoctorButtonText);
        return g;
    }
    g.title = QStringLiteral("Контроллер найден, но открыть его не удалось");
    QString status = statusText(*failed);
    // The doctor may see nothing wrong (a race with udev): the system's words then.
    if (status.isEmpty())
        status =
            QStringLiteral("Нет доступа к контроллеру: %1")
                .arg(systemError.isEmpty() ? QStringLiteral("причина неизвестна") : systemError);
    g.detail = status + QLatin1Char('.');
    if (!failed->remedy.isEmpty() && !usable(*failed) && failed->verdict != Verdict::NoDevice)
        g.detail += QLatin1Char('\n') + failed->remedy;
    return g;
}

SystemProbe withLinkFacts(SystemProbe probe, LinkFacts facts)
{
    return [probe = std::move(probe), facts = std::move(facts)] {
        SystemState state = probe ? probe() : SystemState{};
        state.link = facts;
        return state;
    };
}

} // namespace vardex::doctor

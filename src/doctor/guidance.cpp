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

Guidance heldGuidance(const link::OwnerRecord &holder, bool asking, const QString &refusal)
{
    Guidance g;
    g.shown = true;
    g.title = QStringLiteral("Контроллер занят другой программой");
    g.detail = QStringLiteral("Его держит %1; окно ему ничего не отправляло.")
                   .arg(link::holderText(holder));
    if (holder.lends) {
        g.canBorrow = !asking;
        g.detail += asking ? QStringLiteral("\nСторож заканчивает импульс и отдаёт контроллер…")
                           : QStringLiteral("\nСторож отдаст его на время: нажмите «%1». "
                                            "Закрытие окна, отключение контроллера или «%2» "
                                            "в меню «Сервис» вернут его сторожу.")
                                 .arg(kBorrowButtonText, kGiveBackText);
    } else if (!holder.unit.isEmpty()) {
        g.detail += QStringLiteral("\nОстановите службу, и окно возьмёт контроллер само:\n"
                                   "  sudo systemctl stop %1")
                        .arg(holder.unit);
    } else {
        g.detail += QStringLiteral("\nЗакройте эту программу, и окно возьмёт контроллер само.");
    }
    if (!refusal.isEmpty())
        g.detail += QStringLiteral("\nНе получилось: %1.").arg(refusal);
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

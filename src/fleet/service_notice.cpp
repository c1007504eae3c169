#include "fleet/service_notice.h"

namespace vardex::fleet {

QString statusText(const QString &serial, std::optional<qint64> secondsAgo, bool up)
{
    const QString who = serial.isEmpty() ? QStringLiteral("контроллером")
                                         : QStringLiteral("контроллером S/N %1").arg(serial);
    QString text = QStringLiteral("наблюдение за %1, ").arg(who);
    if (!secondsAgo)
        text += QStringLiteral("опроса ещё не было");
    else
        text += QStringLiteral("последний опрос %1 с назад").arg(*secondsAgo);
    if (!up)
        text += QStringLiteral(", контроллер не отвечает");
    return text;
}

QByteArray pollNotice(bool answered, bool firstAnswer, const QString &status)
{
    QByteArray out;
    if (answered && firstAnswer)
        out += "READY=1\n";
    if (answered)
        out += "WATCHDOG=1\n";
    // A line feed would end the assignment early and start a made-up one.
    QString line = status;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    out += "STATUS=" + line.toUtf8();
    return out;
}

} // namespace vardex::fleet

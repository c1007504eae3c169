#include "work/description_text.h"

#include "link/protocol.h"

#include <QDate>
#include <QTime>

namespace vardex::work {

QString serialNumberText(const link::Payload &identityReply)
{
    QString text;
    for (int i = 0; i < kIdentityGroups; ++i) {
        const auto pos = static_cast<std::size_t>(link::pos::Data + 4 * i);
        text += QString::number(identityReply[pos]) + QLatin1Char('.');
    }
    return text;
}

QString identityCaption(const QString &title, const QString &serial)
{
    return title + QStringLiteral("  S/N=") + serial;
}

QString withDuration(qint64 elapsedMs, const QString &caption)
{
    return QString::number(elapsedMs) + QLatin1Char(' ') + caption;
}

std::optional<QString> clockText(const link::DeviceClock &clock)
{
    const QDate date(2000 + clock.year, clock.month, clock.day);
    const QTime time(clock.hour, clock.minute, clock.second);
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    // Date and time apart: a controller time inside a local daylight-saving gap is
    // still the controller's time.
    return date.toString(QStringLiteral("dd-MM-yy")) + QLatin1Char(' ') +
           time.toString(QStringLiteral("HH:mm:ss"));
}

QString rawClockText(const link::DeviceClock &clock)
{
    return QStringLiteral("год %1, месяц %2, день %3, %4 ч %5 мин %6 с")
        .arg(clock.year)
        .arg(clock.month)
        .arg(clock.day)
        .arg(clock.hour)
        .arg(clock.minute)
        .arg(clock.second);
}

QString invalidClockMessage(const link::DeviceClock &clock)
{
    return QStringLiteral("Неверные дата или время контроллера: ") + rawClockText(clock);
}

link::Payload clockSetRequest(const QDateTime &local)
{
    const QDate d = local.date();
    const QTime t = local.time();
    return link::protocol::writeClock(d.year(), d.month(), d.day(), t.hour(), t.minute(),
                                      t.second());
}

} // namespace vardex::work

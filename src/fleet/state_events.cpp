#include "fleet/state_events.h"

#include "fleet/metrics_text.h"
#include "work/masks.h"
#include "work/system_flags.h"

namespace vardex::fleet {

namespace {

Event withSerial(Event e, const Snapshot &s)
{
    if (s.identity && !s.identity->serial.isEmpty())
        e.fields.push_back({"SERIAL", s.identity->serial});
    return e;
}

} // namespace

std::vector<Event> stateEvents(const Snapshot &before, const Snapshot &after)
{
    std::vector<Event> out;
    if (!before.up || !after.up)
        return out;
    for (int flag = 1; flag <= work::kSystemFlagCount; ++flag) {
        const AlarmFlag a = alarmFlag(flag);
        const bool was = before.state.flag(flag), is = after.state.flag(flag);
        if (a.kind.isEmpty() || was == is)
            continue;
        const work::SystemFlagInfo info = work::systemFlagInfo(flag);
        Event e;
        e.kind = is ? EventKind::AlarmRaised : EventKind::AlarmCleared;
        e.message = is ? QStringLiteral("тревога: %1").arg(info.hint)
                       : QStringLiteral("тревога снята: %1").arg(info.hint);
        e.fields = {{"ALARM", a.kind},
                    {"CHANNEL", QString::number(a.channel)},
                    {"FLAG", QString::number(flag)},
                    {"REASON", info.hint}};
        out.push_back(withSerial(std::move(e), after));
    }
    struct Inputs {
        const char *family;
        const char *caption;
        std::uint8_t enable, was, is;
    };
    const Inputs inputs[] = {
        {"contact", "концевик", after.config.contactEnable, before.state.contactInputs,
         after.state.contactInputs},
        {"ttl", "вход ТТЛ", after.config.ttlInputEnable, before.state.ttlInputs,
         after.state.ttlInputs},
    };
    for (const Inputs &in : inputs)
        for (int k = 1; k <= 8; ++k) {
            const bool was = work::maskBit(in.was, k), is = work::maskBit(in.is, k);
            if (!work::maskBit(in.enable, k) || was == is)
                continue;
            Event e;
            e.kind = EventKind::InputChanged;
            e.message = QStringLiteral("%1 %2: %3")
                            .arg(QString::fromUtf8(in.caption))
                            .arg(k)
                            .arg(is ? QStringLiteral("1") : QStringLiteral("0"));
            e.fields = {{"INPUT", QStringLiteral("%1%2").arg(QLatin1String(in.family)).arg(k)},
                        {"VALUE", is ? QStringLiteral("1") : QStringLiteral("0")}};
            out.push_back(withSerial(std::move(e), after));
        }
    return out;
}

} // namespace vardex::fleet

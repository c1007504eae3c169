#include "fleet/event.h"

namespace vardex::fleet {

namespace {

struct KindRow {
    EventKind kind;
    const char *name;
    const char *id;
    Priority priority;
};

// The ids are part of the interface: alert rules and saved journal queries use them.
constexpr KindRow kKinds[] = {
    {EventKind::ControllerArrived, "controller_arrived", "d180aa991fc349d4a2d30544bc22b7fa",
     Priority::Notice},
    {EventKind::ControllerLost, "controller_lost", "36d637a811594129a5d853a07e3bacae",
     Priority::Error},
    {EventKind::PollFailed, "poll_failed", "84f411ecdb8345fba9ffea6eefccc463", Priority::Warning},
    {EventKind::PollRecovered, "poll_recovered", "a9b6245fb4ef4854ae9967b5b83dcaf6",
     Priority::Notice},
    {EventKind::AlarmRaised, "alarm_raised", "6ce17ff15f524d30a595b053f9461d8e", Priority::Warning},
    {EventKind::AlarmCleared, "alarm_cleared", "da9771fcc4d24f7fb88285de688478ab",
     Priority::Notice},
    {EventKind::InputChanged, "input_changed", "8ddc4f7b39f8447ab0d051b3f7077d5a", Priority::Info},
    {EventKind::Loan, "loan", "082770c02f884925b21df6ca09a5ef6d", Priority::Notice},
    {EventKind::Decision, "decision", "0421419ae6654f97b003cbf98c05f840", Priority::Notice},
    {EventKind::LogRecord, "log_record", "2f855f662a994fb5804080fbdca7478e", Priority::Info},
};

const KindRow &row(EventKind kind)
{
    for (const KindRow &r : kKinds)
        if (r.kind == kind)
            return r;
    return kKinds[0];
}

bool isFieldName(const QByteArray &name)
{
    if (name.isEmpty())
        return false;
    for (const char c : name)
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'))
            return false;
    return true;
}

} // namespace

QByteArray messageId(EventKind kind)
{
    return row(kind).id;
}

Priority priority(EventKind kind)
{
    return row(kind).priority;
}

QByteArray kindName(EventKind kind)
{
    return row(kind).name;
}

std::vector<QByteArray> journalFields(const Event &event)
{
    std::vector<QByteArray> out;
    out.push_back("MESSAGE=" + event.message.toUtf8());
    out.push_back("MESSAGE_ID=" + messageId(event.kind));
    out.push_back("PRIORITY=" + QByteArray::number(int(priority(event.kind))));
    out.push_back("VARDEX_EVENT=" + kindName(event.kind));
    for (const auto &[name, value] : event.fields)
        if (isFieldName(name))
            out.push_back("VARDEX_" + name + '=' + value.toUtf8());
    return out;
}

} // namespace vardex::fleet

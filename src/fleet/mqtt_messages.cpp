#include "fleet/mqtt_messages.h"

#include "fleet/metrics_text.h"
#include "work/masks.h"
#include "work/system_flags.h"
#include "work/value_format.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace vardex::fleet {

namespace {

QString level(const MqttTopics &t, const QString &serial, const char *leaf)
{
    return QStringLiteral("%1/%2/%3").arg(t.prefix, topicLevel(serial), QLatin1String(leaf));
}

QJsonValue jsonNumber(double v)
{
    // Integers stay integers in the JSON; the controller's floats keep three decimals.
    if (v == double(qint64(v)))
        return qint64(v);
    return std::round(v * 1000.0) / 1000.0;
}

void addReadings(const Snapshot &s, std::vector<StateEntry> *out);

// A key the discovery's value template can name: letters, digits and '_' only (a '-' or
// '.' of a host name would read as an operator there).
QString watchPulsesKey(const WatchFigures &w)
{
    QString key = QStringLiteral("watchdog_pulses_%1_%2").arg(w.output, w.host);
    for (QChar &c : key)
        if (!(c.isLetterOrNumber() && c.unicode() < 128))
            c = QLatin1Char('_');
    return key;
}

const char *stanceName(WatchStance stance)
{
    switch (stance) {
    case WatchStance::Armed:
        return "armed";
    case WatchStance::NotArmed:
        return "not_armed";
    case WatchStance::HoldOff:
        return "hold_off";
    case WatchStance::StoodDown:
        return "stood_down";
    }
    return "armed";
}

QJsonArray watchesJson(const std::vector<WatchFigures> &watches)
{
    QJsonArray out;
    for (const WatchFigures &w : watches)
        out.append(QJsonObject{
            {QStringLiteral("host"), w.host},
            {QStringLiteral("output"), w.output},
            {QStringLiteral("pulses"), qint64(w.pulses)},
            {QStringLiteral("misses"), qint64(w.misses)},
            // Null, not a stale figure, when the last echo went unanswered.
            {QStringLiteral("rtt"), w.rttSeconds ? QJsonValue(*w.rttSeconds) : QJsonValue()},
            {QStringLiteral("stance"), QString::fromLatin1(stanceName(w.stance))},
        });
    return out;
}

} // namespace

QString topicLevel(const QString &serial)
{
    if (serial.isEmpty())
        return QStringLiteral("unknown");
    QString out;
    for (const QChar c : serial)
        out += (c.isLetterOrNumber() && c.unicode() < 128) || c == QLatin1Char('-') ||
                       c == QLatin1Char('_')
                   ? c
                   : QLatin1Char('_');
    return out;
}

QByteArray availabilityTopic(const MqttTopics &t, const QString &serial)
{
    return level(t, serial, "availability").toUtf8();
}

QByteArray stateTopic(const MqttTopics &t, const QString &serial)
{
    return level(t, serial, "state").toUtf8();
}

QByteArray eventTopic(const MqttTopics &t, const QString &serial)
{
    return level(t, serial, "event").toUtf8();
}

QByteArray eventTopic(const MqttTopics &t, const Event &event, const QString &servedSerial)
{
    for (const auto &[name, value] : event.fields)
        if (name == "SERIAL" && !value.isEmpty())
            return eventTopic(t, value);
    return eventTopic(t, servedSerial);
}

std::vector<StateEntry> stateEntries(const Snapshot &s)
{
    std::vector<StateEntry> out;
    if (s.answering())
        addReadings(s, &out);
    // The watch pings and counts while the controller is down or lent too.
    for (const WatchFigures &w : s.watches) {
        StateEntry e{false,
                     watchPulsesKey(w),
                     QStringLiteral("Сторож %1 %2: импульсы").arg(w.host, w.output),
                     {},
                     {},
                     double(w.pulses)};
        e.counter = true;
        out.push_back(std::move(e));
    }
    return out;
}

namespace {

void addReadings(const Snapshot &s, std::vector<StateEntry> *entries)
{
    std::vector<StateEntry> &out = *entries;
    const link::MonitorConfig &cfg = s.config;
    const link::MonitorState &st = s.state;
    const auto sensor = [&](QString key, QString name, QString cls, QString unit, double v) {
        out.push_back({false, std::move(key), std::move(name), std::move(cls), std::move(unit), v});
    };
    const auto binary = [&](QString key, QString name, QString cls, bool on) {
        out.push_back({true, std::move(key), std::move(name), std::move(cls), {}, on ? 1.0 : 0.0});
    };
    for (int i = 1; i <= link::kSensors; ++i) {
        double c = 0;
        if (work::maskBit(cfg.temperEnable, i) &&
            work::temperatureCelsius(st.temperatures[i - 1], cfg.dallasResolution[i - 1], &c))
            sensor(QStringLiteral("temperature_%1").arg(i), QStringLiteral("Температура %1").arg(i),
                   QStringLiteral("temperature"), QStringLiteral("°C"), c);
    }
    for (int ch = 1; ch <= link::kAnalogChannels; ++ch) {
        if (!work::maskBit(cfg.analogEnable, ch))
            continue;
        const bool volts = isVoltageChannel(ch);
        const QString caption = analogCaption(ch);
        sensor(volts ? QStringLiteral("voltage_%1").arg(ch) : QStringLiteral("analog_%1").arg(ch),
               caption, volts ? QStringLiteral("voltage") : QString(),
               volts ? QStringLiteral("V") : QString(), double(st.analogValues[ch - 1]));
    }
    for (int f = 1; f <= link::kFans; ++f) {
        if (!work::maskBit(cfg.fanEnable, f))
            continue;
        sensor(QStringLiteral("fan_speed_%1").arg(f), QStringLiteral("Вентилятор %1").arg(f), {},
               QStringLiteral("rpm"), st.fanSpeeds[f - 1]);
        sensor(QStringLiteral("fan_task_%1").arg(f),
               QStringLiteral("Задание вентилятора %1").arg(f), {}, QStringLiteral("%"),
               st.fanTasks[f - 1]);
    }
    for (int k = 1; k <= 8; ++k) {
        if (work::maskBit(cfg.contactEnable, k))
            binary(QStringLiteral("contact_%1").arg(k), QStringLiteral("Концевик %1").arg(k),
                   QStringLiteral("door"), work::maskBit(st.contactInputs, k));
        if (work::maskBit(cfg.ttlInputEnable, k))
            binary(QStringLiteral("ttl_input_%1").arg(k), QStringLiteral("Вход ТТЛ %1").arg(k), {},
                   work::maskBit(st.ttlInputs, k));
    }
    struct Family {
        const char *key;
        const char *name;
        std::uint8_t enable, state;
        int count, first;
    };
    const Family families[] = {
        {"relay", "Реле", cfg.relayEnable, st.relays, 6, 1},
        {"ttl_output", "Выход ТТЛ", cfg.ttlOutputEnable, st.ttlOutputs, 8, 1},
        {"high_switch", "Верхний ключ", cfg.switchEnable, st.switches, 4, work::highSwitchItem(1)},
        {"low_switch", "Нижний ключ", cfg.switchEnable, st.switches, 4, work::lowSwitchItem(1)},
    };
    for (const Family &f : families)
        for (int k = 1; k <= f.count; ++k)
            if (work::maskBit(f.enable, f.first + k - 1))
                binary(QStringLiteral("%1_%2").arg(QLatin1String(f.key)).arg(k),
                       QStringLiteral("%1 %2").arg(QString::fromUtf8(f.name)).arg(k),
                       QStringLiteral("power"), work::maskBit(f.state, f.first + k - 1));
    for (int flag = 1; flag <= work::kSystemFlagCount; ++flag) {
        const AlarmFlag a = alarmFlag(flag);
        if (a.kind.isEmpty())
            continue;
        const QString key = a.channel ? QStringLiteral("alarm_%1_%2").arg(a.kind).arg(a.channel)
                                      : QStringLiteral("alarm_%1").arg(a.kind);
        binary(key, work::systemFlagInfo(flag).hint, QStringLiteral("problem"), st.flag(flag));
    }
}

} // namespace

QByteArray stateJson(const Snapshot &s)
{
    QJsonObject o;
    o.insert(QStringLiteral("up"), s.answering());
    if (s.identity) {
        o.insert(QStringLiteral("serial"), s.identity->serial);
        o.insert(QStringLiteral("firmware"), s.identity->firmware);
    }
    if (s.lastPollSeconds)
        o.insert(QStringLiteral("last_poll"), jsonNumber(*s.lastPollSeconds));
    o.insert(QStringLiteral("lent"), s.lent);
    if (s.lent)
        o.insert(QStringLiteral("lent_to"), s.lentTo);
    o.insert(QStringLiteral("watches"), watchesJson(s.watches));
    for (const StateEntry &e : stateEntries(s))
        o.insert(e.key, jsonNumber(e.value));
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray eventJson(const Event &e)
{
    QJsonObject fields;
    for (const auto &[name, value] : e.fields)
        fields.insert(QString::fromLatin1(name).toLower(), value);
    return QJsonDocument(
               QJsonObject{{QStringLiteral("event"), QString::fromLatin1(kindName(e.kind))},
                           {QStringLiteral("message"), e.message},
                           {QStringLiteral("fields"), fields}})
        .toJson(QJsonDocument::Compact);
}

std::vector<MqttMessage> discoveryMessages(const MqttTopics &t, const Snapshot &s)
{
    std::vector<MqttMessage> out;
    if (!s.identity)
        return out;
    const QString serial = s.identity->serial;
    const QString node = QStringLiteral("vardex_%1").arg(topicLevel(serial));
    const QJsonObject device{
        {QStringLiteral("identifiers"), QJsonArray{node}},
        {QStringLiteral("name"), QStringLiteral("Quellbox %1").arg(serial)},
        {QStringLiteral("model"), QStringLiteral("Quellbox")},
        {QStringLiteral("serial_number"), serial},
        {QStringLiteral("sw_version"), QString::number(s.identity->firmware)},
    };
    for (const StateEntry &e : stateEntries(s)) {
        QJsonObject c{
            {QStringLiteral("name"), e.name},
            {QStringLiteral("unique_id"), QStringLiteral("%1_%2").arg(node, e.key)},
            {QStringLiteral("object_id"), QStringLiteral("%1_%2").arg(node, e.key)},
            {QStringLiteral("state_topic"), QString::fromUtf8(stateTopic(t, serial))},
            {QStringLiteral("value_template"), QStringLiteral("{{ value_json.%1 }}").arg(e.key)},
            {QStringLiteral("availability_topic"), QString::fromUtf8(availabilityTopic(t, serial))},
            {QStringLiteral("device"), device},
        };
        if (!e.deviceClass.isEmpty())
            c.insert(QStringLiteral("device_class"), e.deviceClass);
        if (e.binary) {
            c.insert(QStringLiteral("payload_on"), 1);
            c.insert(QStringLiteral("payload_off"), 0);
        } else {
            c.insert(QStringLiteral("state_class"), e.counter ? QStringLiteral("total_increasing")
                                                              : QStringLiteral("measurement"));
            if (!e.unit.isEmpty())
                c.insert(QStringLiteral("unit_of_measurement"), e.unit);
        }
        const QString topic =
            QStringLiteral("%1/%2/%3/%4/config")
                .arg(t.discoveryPrefix,
                     e.binary ? QStringLiteral("binary_sensor") : QStringLiteral("sensor"), node,
                     e.key);
        out.push_back({topic.toUtf8(), QJsonDocument(c).toJson(QJsonDocument::Compact), true});
    }
    return out;
}

} // namespace vardex::fleet

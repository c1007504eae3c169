#include "fleet/metrics_text.h"

#include "common/channel_names.h"
#include "work/masks.h"
#include "work/system_flags.h"
#include "work/value_format.h"

#include <charconv>
#include <cmath>
#include <optional>
#include <utility>
#include <vector>

namespace vardex::fleet {

namespace {

using Labels = std::vector<std::pair<const char *, QString>>;

// Shortest text that reads back as the same number; a float from the controller is
// written as a float, so 11.985112 does not turn into 11.985112190246582.
template <typename T> QByteArray number(T value)
{
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return QByteArray(buffer, int(end - buffer));
}

// One family at a time: its HELP and TYPE once, then its samples. A family without
// samples writes nothing, so a missing reading leaves no empty family behind.
class Writer {
public:
    void family(const char *name, const char *type, const char *help)
    {
        m_name = name;
        m_type = type;
        m_help = help;
        m_open = false;
    }

    void sample(const Labels &labels, double value) { add(labels, value, number(value)); }
    void sample(const Labels &labels, float value) { add(labels, value, number(value)); }

    QByteArray text() const { return m_text; }

private:
    void add(const Labels &labels, double value, const QByteArray &text)
    {
        if (!std::isfinite(value))
            return;
        if (!m_open) {
            m_text += "# HELP " + m_name + ' ' + m_help + '\n';
            m_text += "# TYPE " + m_name + ' ' + m_type + '\n';
            m_open = true;
        }
        m_text += m_name;
        if (!labels.empty()) {
            m_text += '{';
            bool first = true;
            for (const auto &[key, value] : labels) {
                if (!first)
                    m_text += ',';
                first = false;
                m_text += key;
                m_text += "=\"";
                m_text += escapeLabelValue(value).toUtf8();
                m_text += '"';
            }
            m_text += '}';
        }
        m_text += ' ' + text + '\n';
    }

    QByteArray m_text;
    QByteArray m_name, m_type, m_help;
    bool m_open = false;
};

QString n(int value)
{
    return QString::number(value);
}

void writeReadings(Writer &w, const Snapshot &s)
{
    const link::MonitorConfig &cfg = s.config;
    const link::MonitorState &st = s.state;

    w.family("vardex_temperature_celsius", "gauge", "Temperature of a 1-wire sensor.");
    for (int i = 1; i <= link::kSensors; ++i) {
        double celsius = 0;
        if (work::maskBit(cfg.temperEnable, i) &&
            work::temperatureCelsius(st.temperatures[i - 1], cfg.dallasResolution[i - 1], &celsius))
            w.sample({{"sensor", n(i)}, {"caption", QStringLiteral("Темпер %1").arg(i)}}, celsius);
    }

    w.family("vardex_voltage_volts", "gauge", "Voltage of a supply or the mains channel.");
    for (int c = 1; c <= link::kAnalogChannels; ++c)
        if (isVoltageChannel(c) && work::maskBit(cfg.analogEnable, c))
            w.sample({{"channel", n(c)}, {"caption", analogCaption(c)}}, st.analogValues[c - 1]);

    w.family("vardex_analog_value", "gauge",
             "Reading of a spare analog channel in the controller's own scale.");
    for (int c = 4; c <= 5; ++c)
        if (work::maskBit(cfg.analogEnable, c))
            w.sample({{"channel", n(c)}, {"caption", analogCaption(c)}}, st.analogValues[c - 1]);

    w.family("vardex_fan_speed_rpm", "gauge", "Fan speed in revolutions per minute.");
    for (int f = 1; f <= link::kFans; ++f)
        if (work::maskBit(cfg.fanEnable, f))
            w.sample({{"fan", n(f)}}, double(st.fanSpeeds[f - 1]));
    w.family("vardex_fan_task_ratio", "gauge", "Fan task, 0 to 1 of full speed.");
    for (int f = 1; f <= link::kFans; ++f)
        if (work::maskBit(cfg.fanEnable, f))
            w.sample({{"fan", n(f)}}, st.fanTasks[f - 1] / 100.0);

    w.family("vardex_contact_input", "gauge", "Limit-switch contact (door), 1 when signalled.");
    for (int k = 1; k <= 8; ++k)
        if (work::maskBit(cfg.contactEnable, k))
            w.sample({{"input", n(k)}}, work::maskBit(st.contactInputs, k) ? 1.0 : 0.0);
    w.family("vardex_ttl_input", "gauge", "TTL input, 1 when high.");
    for (int k = 1; k <= 8; ++k)
        if (work::maskBit(cfg.ttlInputEnable, k))
            w.sample({{"input", n(k)}}, work::maskBit(st.ttlInputs, k) ? 1.0 : 0.0);

    w.family("vardex_output_on", "gauge", "Output state as the controller reports it, 1 when on.");
    struct Family {
        const char *kind;
        std::uint8_t enable, state;
        int count, firstItem;
    };
    const Family families[] = {
        {"relay", cfg.relayEnable, st.relays, 6, 1},
        {"ttl", cfg.ttlOutputEnable, st.ttlOutputs, 8, 1},
        {"high_switch", cfg.switchEnable, st.switches, 4, work::highSwitchItem(1)},
        {"low_switch", cfg.switchEnable, st.switches, 4, work::lowSwitchItem(1)},
    };
    for (const Family &f : families)
        for (int k = 1; k <= f.count; ++k) {
            const int item = f.firstItem + k - 1;
            if (work::maskBit(f.enable, item))
                w.sample({{"kind", QString::fromLatin1(f.kind)}, {"output", n(k)}},
                         work::maskBit(f.state, item) ? 1.0 : 0.0);
        }

    w.family("vardex_alarm", "gauge", "Alarm system flag of the controller, 1 when raised.");
    for (int flag = 1; flag <= work::kSystemFlagCount; ++flag) {
        const AlarmFlag a = alarmFlag(flag);
        if (!a.kind.isEmpty())
            w.sample({{"kind", a.kind},
                      {"channel", n(a.channel)},
                      {"caption", work::systemFlagInfo(flag).caption}},
                     st.flag(flag) ? 1.0 : 0.0);
    }
    w.family("vardex_loop_active", "gauge", "Control loop holds its output on, 1 when it does.");
    for (int loop = 1; loop <= 26; ++loop)
        w.sample({{"loop", n(loop)}}, st.flag(work::loopFlag(loop)) ? 1.0 : 0.0);
}

// Each family once, one sample per watched pair: the same host may be watched for two
// outputs, so the output is a label as much as the host.
void writeWatches(Writer &w, const std::vector<WatchFigures> &watches)
{
    const auto labels = [](const WatchFigures &f) {
        return Labels{{"host", f.host}, {"output", f.output}};
    };
    const auto each = [&](const char *name, const char *type, const char *help, auto value) {
        w.family(name, type, help);
        for (const WatchFigures &f : watches)
            if (const std::optional<double> v = value(f))
                w.sample(labels(f), *v);
    };
    using Value = std::optional<double>;
    each("vardex_watchdog_pulses_total", "counter", "Output pulses the ping watch sent.",
         [](const WatchFigures &f) { return Value(double(f.pulses)); });
    each("vardex_watchdog_misses_total", "counter", "Echoes the watched hosts missed.",
         [](const WatchFigures &f) { return Value(double(f.misses)); });
    each("vardex_watchdog_echo_rtt_seconds", "gauge", "Round trip of the last answered echo.",
         [](const WatchFigures &f) { return f.rttSeconds; });
    each("vardex_watchdog_armed", "gauge", "1 when the watch may pulse its output on a miss.",
         [](const WatchFigures &f) { return Value(f.stance == WatchStance::Armed ? 1.0 : 0.0); });
    each("vardex_watchdog_stood_down", "gauge",
         "1 when the watch gave up at its cap and waits for a re-arm (systemctl reload).",
         [](const WatchFigures &f) {
             return Value(f.stance == WatchStance::StoodDown ? 1.0 : 0.0);
         });
}

} // namespace

// Channels 4 and 5 carry what the cabinet wires to them (light, humidity) in the
// controller's own scale, so they get no unit.
bool isVoltageChannel(int channel)
{
    return channel <= 3 || channel == 6;
}

QString analogCaption(int channel)
{
    if (channel <= 3)
        return QString::fromUtf8(kAnalogCaptions[channel - 1]);
    return defaultChannelNames()[channel - 4];
}

QString escapeLabelValue(const QString &value)
{
    QString out;
    out.reserve(value.size());
    for (const QChar c : value) {
        if (c == QLatin1Char('\\'))
            out += QStringLiteral("\\\\");
        else if (c == QLatin1Char('"'))
            out += QStringLiteral("\\\"");
        else if (c == QLatin1Char('\n'))
            out += QStringLiteral("\\n");
        else
            out += c;
    }
    return out;
}

AlarmFlag alarmFlag(int n)
{
    if (n >= 1 && n <= 6)
        return {isVoltageChannel(n) ? QStringLiteral("voltage") : QStringLiteral("analog"), n};
    if (n == 7)
        return {QStringLiteral("battery"), 0};
    if (n == 8)
        return {QStringLiteral("power"), 0};
    if (n >= 17 && n <= 22)
        return {QStringLiteral("temperature"), n - 16};
    if (n >= 23 && n <= 28)
        return {QStringLiteral("sensor_break"), n - 22};
    if (n >= 29 && n <= 32)
        return {QStringLiteral("fan"), n - 28};
    return {};
}

QByteArray renderMetrics(const Snapshot &s)
{
    Writer w;
    w.family("vardex_controller_up", "gauge",
             "1 when the last poll of the controller was answered.");
    w.sample({}, s.answering() ? 1.0 : 0.0);
    // Always written, 0 or 1: the alerts set a loan against a controller that is down.
    w.family("vardex_controller_lent", "gauge",
             "1 while the controller is lent to another program and is not polled.");
    w.sample({}, s.lent ? 1.0 : 0.0);
    if (s.identity) {
        w.family("vardex_controller_info", "gauge", "Identity of the controller served.");
        w.sample({{"serial", s.identity->serial},
                  {"firmware", n(s.identity->firmware)},
                  {"variant", n(s.identity->variant)},
                  {"config", n(s.identity->config)}},
                 1.0);
    }
    if (s.lastPollSeconds) {
        w.family("vardex_last_poll_timestamp_seconds", "gauge",
                 "Unix time of the last answered poll.");
        w.sample({}, *s.lastPollSeconds);
    }
    w.family("vardex_polls_total", "counter", "Polls of the controller's state started.");
    w.sample({}, double(s.polls));
    w.family("vardex_poll_failures_total", "counter", "Polls the controller did not answer.");
    w.sample({}, double(s.pollFailures));
    writeWatches(w, s.watches);
    if (s.answering())
        writeReadings(w, s);
    return w.text();
}

} // namespace vardex::fleet

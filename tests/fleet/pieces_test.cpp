// The small rules of the cabinet service: supervisor messages, journal fields, MQTT
// topics and payloads, state changes as events, and the command's options.
#include "cli/serve_command.h"
#include "fleet/event.h"
#include "fleet/log_follower.h"
#include "fleet/mqtt_messages.h"
#include "fleet/service_notice.h"
#include "fleet/state_events.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

namespace {

using namespace vardex;

fleet::Snapshot answered()
{
    fleet::Snapshot s;
    s.up = true;
    s.identity = fleet::ControllerIdentity{QStringLiteral("QB/7+#"), 7, 0, 1};
    s.config.temperEnable = 0b1;
    s.config.dallasResolution[0] = 3;
    s.config.contactEnable = 0b11;
    s.config.relayEnable = 0b1;
    s.config.analogEnable = 0b1000; // channel 4: not a voltage
    s.state.temperatures[0] = 320;
    s.state.contactInputs = 0b10;
    s.state.relays = 0b1;
    s.state.analogValues[3] = 41.5f;
    return s;
}

TEST(ServiceNotice, ReadyOnceWatchdogOnlyAfterAnAnswer)
{
    EXPECT_EQ(fleet::pollNotice(true, true, QStringLiteral("s")), "READY=1\nWATCHDOG=1\nSTATUS=s");
    EXPECT_EQ(fleet::pollNotice(true, false, QStringLiteral("s")), "WATCHDOG=1\nSTATUS=s");
    // Unanswered: neither, even if it were the first.
    EXPECT_EQ(fleet::pollNotice(false, true, QStringLiteral("s")), "STATUS=s");
    // A line feed in the status cannot start an assignment of its own.
    EXPECT_EQ(fleet::pollNotice(false, false, QStringLiteral("a\nWATCHDOG=1")),
              "STATUS=a WATCHDOG=1");
}

TEST(ServiceNotice, StatusSaysWhoAndHowLongAgo)
{
    EXPECT_EQ(fleet::statusText(QStringLiteral("QB-1"), 3, true),
              QStringLiteral("наблюдение за контроллером S/N QB-1, последний опрос 3 с назад"));
    EXPECT_EQ(fleet::statusText({}, std::nullopt, false),
              QStringLiteral("наблюдение за контроллером, опроса ещё не было, контроллер не "
                             "отвечает"));
}

TEST(JournalFields, FixedIdsPriorityAndOnlyValidFieldNames)
{
    QSet<QByteArray> ids;
    for (auto kind : {fleet::EventKind::ControllerArrived, fleet::EventKind::ControllerLost,
                      fleet::EventKind::PollFailed, fleet::EventKind::PollRecovered,
                      fleet::EventKind::AlarmRaised, fleet::EventKind::AlarmCleared,
                      fleet::EventKind::InputChanged, fleet::EventKind::Loan,
                      fleet::EventKind::Decision, fleet::EventKind::LogRecord}) {
        const QByteArray id = fleet::messageId(kind);
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9a-f]{32}$"))
                        .match(QString::fromLatin1(id))
                        .hasMatch());
        ids.insert(id);
    }
    EXPECT_EQ(ids.size(), 10);

    fleet::Event e{fleet::EventKind::ControllerLost,
                   QStringLiteral("контроллер отключен"),
                   {{"SERIAL", QStringLiteral("QB-1")}, {"bad name", QStringLiteral("x")}}};
    const std::vector<QByteArray> fields = fleet::journalFields(e);
    const std::vector<QByteArray> expected = {
        "MESSAGE=" + QStringLiteral("контроллер отключен").toUtf8(),
        "MESSAGE_ID=36d637a811594129a5d853a07e3bacae", "PRIORITY=3", "VARDEX_EVENT=controller_lost",
        "VARDEX_SERIAL=QB-1"};
    EXPECT_EQ(fields, expected);
}

TEST(MqttMessages, SerialBecomesOneSafeTopicLevel)
{
    EXPECT_EQ(fleet::topicLevel(QStringLiteral("QB/7+#")), QStringLiteral("QB_7__"));
    EXPECT_EQ(fleet::topicLevel({}), QStringLiteral("unknown"));
    fleet::MqttTopics t;
    EXPECT_EQ(fleet::availabilityTopic(t, QStringLiteral("QB/7+#")), "vardex/QB_7__/availability");
}

TEST(MqttMessages, EventGoesToTheControllerItNames)
{
    const fleet::Event lost{fleet::EventKind::ControllerLost,
                            QStringLiteral("потерян"),
                            {{"SERIAL", QStringLiteral("QB-A")}}};
    EXPECT_EQ(fleet::eventTopic({}, lost, QStringLiteral("QB-B")), "vardex/QB-A/event");
    const fleet::Event decision{fleet::EventKind::Decision,
                                QStringLiteral("импульс"),
                                {{"HOST", QStringLiteral("10.0.0.1")}}};
    EXPECT_EQ(fleet::eventTopic({}, decision, QStringLiteral("QB-B")), "vardex/QB-B/event");
}

TEST(MqttMessages, StateAndDiscoveryDescribeTheSameEntries)
{
    const fleet::Snapshot s = answered();
    const QJsonObject state = QJsonDocument::fromJson(fleet::stateJson(s)).object();
    EXPECT_EQ(state.value(QStringLiteral("temperature_1")).toDouble(), 20.0);
    EXPECT_EQ(state.value(QStringLiteral("contact_2")).toInt(), 1);
    EXPECT_EQ(state.value(QStringLiteral("relay_1")).toInt(), 1);
    EXPECT_EQ(state.value(QStringLiteral("analog_4")).toDouble(), 41.5);
    EXPECT_TRUE(state.value(QStringLiteral("up")).toBool());

    fleet::MqttTopics t;
    const auto configs = fleet::discoveryMessages(t, s);
    ASSERT_EQ(configs.size(), fleet::stateEntries(s).size());
    bool sawTemperature = false, sawContact = false, sawAnalog = false;
    for (const auto &m : configs) {
        EXPECT_TRUE(m.retain);
        const QJsonObject c = QJsonDocument::fromJson(m.payload).object();
        const QString key = c.value(QStringLiteral("value_template"))
                                .toString()
                                .section(QLatin1Char('.'), 1)
                                .section(QLatin1Char(' '), 0, 0);
        EXPECT_TRUE(state.contains(key)) << key.toStdString();
        EXPECT_EQ(c.value(QStringLiteral("state_topic")).toString(),
                  QStringLiteral("vardex/QB_7__/state"));
        EXPECT_EQ(c.value(QStringLiteral("device"))
                      .toObject()
                      .value(QStringLiteral("serial_number"))
                      .toString(),
                  QStringLiteral("QB/7+#"));
        if (key == QLatin1String("temperature_1")) {
            sawTemperature = true;
            EXPECT_EQ(m.topic, "homeassistant/sensor/vardex_QB_7__/temperature_1/config");
            EXPECT_EQ(c.value(QStringLiteral("device_class")).toString(),
                      QStringLiteral("temperature"));
            EXPECT_EQ(c.value(QStringLiteral("unit_of_measurement")).toString(),
                      QStringLiteral("°C"));
        }
        if (key == QLatin1String("contact_1")) {
            sawContact = true;
            EXPECT_EQ(m.topic, "homeassistant/binary_sensor/vardex_QB_7__/contact_1/config");
            EXPECT_EQ(c.value(QStringLiteral("device_class")).toString(), QStringLiteral("door"));
        }
        if (key == QLatin1String("analog_4")) {
            sawAnalog = true;
            EXPECT_FALSE(c.contains(QStringLiteral("device_class")));
        }
    }
    EXPECT_TRUE(sawTemperature && sawContact && sawAnalog);
}

TEST(MqttMessages, ControllerDownPublishesNoReadings)
{
    fleet::Snapshot s = answered();
    s.up = false;
    const QJsonObject state = QJsonDocument::fromJson(fleet::stateJson(s)).object();
    EXPECT_FALSE(state.value(QStringLiteral("up")).toBool());
    EXPECT_FALSE(state.contains(QStringLiteral("temperature_1")));
    EXPECT_TRUE(fleet::discoveryMessages({}, s).empty());
}

// A lent controller is down for a reason the state names; every watched pair is in the
// state, an unanswered echo as null rather than the last figure.
TEST(MqttMessages, StateCarriesTheLoanAndEveryWatchedPair)
{
    fleet::Snapshot s = answered();
    s.lent = true;
    s.lentTo = QStringLiteral("vardex pid 77");
    s.watches = {fleet::WatchFigures{QStringLiteral("10.0.0.1"), QStringLiteral("relay1"), 2, 9,
                                     std::nullopt, fleet::WatchStance::StoodDown},
                 fleet::WatchFigures{QStringLiteral("10.0.0.2"), QStringLiteral("h2"), 0, 0, 0.0125,
                                     fleet::WatchStance::Armed}};
    QJsonObject state = QJsonDocument::fromJson(fleet::stateJson(s)).object();
    EXPECT_FALSE(state.value(QStringLiteral("up")).toBool());
    EXPECT_TRUE(state.value(QStringLiteral("lent")).toBool());
    EXPECT_EQ(state.value(QStringLiteral("lent_to")).toString(), QStringLiteral("vardex pid 77"));
    const QJsonArray watches = state.value(QStringLiteral("watches")).toArray();
    ASSERT_EQ(watches.size(), 2);
    const QJsonObject first = watches[0].toObject();
    EXPECT_EQ(first.value(QStringLiteral("host")).toString(), QStringLiteral("10.0.0.1"));
    EXPECT_EQ(first.value(QStringLiteral("output")).toString(), QStringLiteral("relay1"));
    EXPECT_EQ(first.value(QStringLiteral("pulses")).toInt(), 2);
    EXPECT_EQ(first.value(QStringLiteral("misses")).toInt(), 9);
    EXPECT_TRUE(first.value(QStringLiteral("rtt")).isNull());
    EXPECT_EQ(first.value(QStringLiteral("stance")).toString(), QStringLiteral("stood_down"));
    EXPECT_EQ(watches[1].toObject().value(QStringLiteral("rtt")).toDouble(), 0.0125);
    EXPECT_EQ(watches[1].toObject().value(QStringLiteral("stance")).toString(),
              QStringLiteral("armed"));

    // The pulses go on while the controller is lent: a sensor whose template finds its
    // value in the state, and nothing for the withheld readings.
    const auto configs = fleet::discoveryMessages({}, s);
    ASSERT_EQ(configs.size(), 2u);
    EXPECT_EQ(configs[0].topic,
              "homeassistant/sensor/vardex_QB_7__/watchdog_pulses_relay1_10_0_0_1/config");
    const QJsonObject c = QJsonDocument::fromJson(configs[0].payload).object();
    EXPECT_EQ(c.value(QStringLiteral("value_template")).toString(),
              QStringLiteral("{{ value_json.watchdog_pulses_relay1_10_0_0_1 }}"));
    EXPECT_EQ(c.value(QStringLiteral("state_class")).toString(),
              QStringLiteral("total_increasing"));
    EXPECT_EQ(state.value(QStringLiteral("watchdog_pulses_relay1_10_0_0_1")).toInt(), 2);

    s.lent = false;
    state = QJsonDocument::fromJson(fleet::stateJson(s)).object();
    EXPECT_FALSE(state.value(QStringLiteral("lent")).toBool());
    EXPECT_FALSE(state.contains(QStringLiteral("lent_to")));
}

TEST(StateEvents, AlarmsAndEnabledInputsThatChanged)
{
    const fleet::Snapshot before = answered();
    fleet::Snapshot after = before;
    after.state.systemFlags[3] = 0x01;       // flag 25: sensor 3 broken
    after.state.systemFlags[4] = 0xFF;       // loops 1..8: no alarms
    after.state.contactInputs = 0b1000'0001; // contact 1 on, contact 2 off, contact 8 disabled
    const auto events = fleet::stateEvents(before, after);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].kind, fleet::EventKind::AlarmRaised);
    EXPECT_EQ(events[0].message, QStringLiteral("тревога: Обрыв датчика температуры 3"));
    EXPECT_EQ(events[1].kind, fleet::EventKind::InputChanged);
    EXPECT_EQ(events[1].message, QStringLiteral("концевик 1: 1"));
    EXPECT_EQ(events[2].message, QStringLiteral("концевик 2: 0"));

    const auto cleared = fleet::stateEvents(after, before);
    EXPECT_EQ(cleared[0].kind, fleet::EventKind::AlarmCleared);
    // Across an outage nothing is compared: the first answer after it is no change.
    fleet::Snapshot down = before;
    down.up = false;
    EXPECT_TRUE(fleet::stateEvents(down, after).empty());
}

TEST(LogFollower, TakesOnlyTheNextNumberInTheNextSlotAndWraps)
{
    fleet::LogFollower f;
    EXPECT_FALSE(f.synced());
    EXPECT_FALSE(f.offer(1)); // nothing is taken before the newest record is known
    // The newest record may lie in the block before the named one or later.
    EXPECT_EQ(fleet::LogFollower::searchStart(5), 17);
    EXPECT_EQ(fleet::LogFollower::searchStart(0), 16381);

    f.sync(16383, 70000);
    EXPECT_EQ(f.nextSlot(), 16384);
    EXPECT_FALSE(f.offer(70000));       // the same record again
    EXPECT_FALSE(f.offer(53617));       // the one the ring has not overwritten yet
    EXPECT_FALSE(f.offer(0xFFFFFFFFu)); // an erased slot
    EXPECT_TRUE(f.offer(70001));
    EXPECT_EQ(f.nextSlot(), 1); // the ring wraps
    EXPECT_TRUE(f.offer(70002));
    EXPECT_EQ(f.nextSlot(), 2);

    f.reset();
    EXPECT_FALSE(f.synced());
    f.sync(0, 0); // an empty log
    EXPECT_EQ(f.nextSlot(), 1);
    EXPECT_TRUE(f.offer(1));
}

struct OptionCase {
    QStringList words;
    bool ok;
    const char *error; // a part of it
};

class ServeOptions : public testing::TestWithParam<OptionCase> {};

TEST_P(ServeOptions, ParseOrRefuse)
{
    QString error;
    const auto o = cli::parseServeOptions(GetParam().words, &error);
    EXPECT_EQ(o.has_value(), GetParam().ok) << error.toStdString();
    if (!GetParam().ok) {
        EXPECT_TRUE(error.contains(QString::fromUtf8(GetParam().error))) << error.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ServeOptions,
    testing::Values(OptionCase{{}, true, ""}, OptionCase{{"--poll", "0"}, false, "--poll"},
                    OptionCase{{"--poll=3601"}, false, "--poll"},
                    OptionCase{{"--metrics-listen", "9870"}, true, ""},
                    OptionCase{{"--metrics-listen", "0.0.0.0:70000"}, false, "порт"},
                    OptionCase{{"--metrics-listen"}, false, "не указано"},
                    OptionCase{{"--mqtt-user", "u"}, false, "без --mqtt"},
                    OptionCase{{"--mqtt", "broker"}, false, "УЗЕЛ:ПОРТ"},
                    OptionCase{{"--mqtt", "127.0.0.1:1883", "--mqtt-prefix", "a/#"}, false, "«#»"},
                    OptionCase{{"stray"}, false, "лишний"},
                    OptionCase{{"--watch", "10.0.0.1", "--output", "relay2"}, true, ""},
                    OptionCase{{"--output", "relay2"}, false, "без --watch"},
                    OptionCase{{"--watch", "10.0.0.1"}, false, "не указан выход"},
                    OptionCase{{"--watch", "a", "--watch", "b", "--output", "h1"}, true, ""}));

TEST(ServeOptionsValues, DefaultsAndLoopbackBind)
{
    QString error;
    auto o = cli::parseServeOptions({}, &error);
    ASSERT_TRUE(o);
    EXPECT_EQ(o->pollMs, 10000);
    EXPECT_FALSE(o->metricsListen);
    o = cli::parseServeOptions({QStringLiteral("--metrics-listen=:9870"), QStringLiteral("--poll"),
                                QStringLiteral("2"), QStringLiteral("--mqtt"),
                                QStringLiteral("[::1]:1884")},
                               &error);
    ASSERT_TRUE(o);
    EXPECT_EQ(o->metricsListen->host, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(o->metricsListen->port, 9870);
    EXPECT_EQ(o->pollMs, 2000);
    EXPECT_EQ(o->mqtt->host, QStringLiteral("::1"));
    EXPECT_EQ(o->mqtt->port, 1884);

    // Pairs as the watch takes them: a --watch after an --output begins the next one.
    o = cli::parseServeOptions({"--watch", "gw", "--watch", "router", "--output", "relay1",
                                "--pulse", "2000", "--watch", "modem", "--output", "relay2"},
                               &error);
    ASSERT_TRUE(o) << error.toStdString();
    ASSERT_EQ(o->watch.size(), std::size_t(2));
    EXPECT_EQ(std::make_tuple(o->watch[0].host, o->watch[0].moreHosts, o->watch[0].pulseMs),
              std::make_tuple(QString("gw"), QStringList{"router"}, 2000));
    EXPECT_EQ(std::make_tuple(o->watch[1].host, o->watch[1].output, o->watch[1].pulseMs),
              std::make_tuple(QString("modem"), 9, 1000));
}

} // namespace

// The exposition text: what a scrape shows for a controller that answers, one that is
// gone, and labels that carry awkward bytes.
#include "fleet/metrics_text.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace {

using namespace vardex;

fleet::Snapshot answered()
{
    fleet::Snapshot s;
    s.up = true;
    s.identity = fleet::ControllerIdentity{QStringLiteral("QB-0042"), 7, 2, 3};
    s.lastPollSeconds = 1765000000.5;
    s.polls = 5;
    s.pollFailures = 1;
    s.config.temperEnable = 0b000011;               // sensors 1, 2
    s.config.dallasResolution = {3, 9, 0, 0, 0, 0}; // sensor 2: a code no board sends
    s.config.analogEnable = 0b100001;               // channel 1 and the mains
    s.config.fanEnable = 0b0001;
    s.config.contactEnable = 0b1;
    s.config.relayEnable = 0b000101;
    s.state.temperatures = {400, 400, 0, 0, 0, 0};
    s.state.analogValues = {11.985112f, 0, 0, 0, 0, 231.5f};
    s.state.fanSpeeds = {1800, 0, 0, 0};
    s.state.fanTasks = {60, 0, 0, 0};
    s.state.contactInputs = 0b1;
    s.state.relays = 0b000100;
    s.state.systemFlags[2] = 0x01; // flag 17: temperature 1 out of range
    return s;
}

QStringList samples(const QByteArray &text)
{
    QStringList out;
    for (const QString &line : QString::fromUtf8(text).split(QLatin1Char('\n')))
        if (!line.isEmpty() && !line.startsWith(QLatin1Char('#')))
            out << line;
    return out;
}

TEST(MetricsText, AnsweringControllerShowsEnabledReadingsWithUnits)
{
    const QStringList s = samples(fleet::renderMetrics(answered()));
    EXPECT_TRUE(s.contains(QStringLiteral("vardex_controller_up 1")));
    EXPECT_TRUE(s.contains(QStringLiteral(
        "vardex_controller_info{serial=\"QB-0042\",firmware=\"7\",variant=\"2\",config=\"3\"} 1")));
    EXPECT_TRUE(s.contains(QStringLiteral("vardex_last_poll_timestamp_seconds 1765000000.5")));
    EXPECT_TRUE(s.contains(QStringLiteral("vardex_poll_failures_total 1")));
    // Resolution code 3 is 1/16 degree: 400 counts are 25 degrees.
    EXPECT_TRUE(s.contains(
        QStringLiteral("vardex_temperature_celsius{sensor=\"1\",caption=\"Темпер 1\"} 25")));
    // A sensor whose resolution is unknown shows nothing rather than a guess.
    EXPECT_FALSE(s.join('\n').contains(QStringLiteral("sensor=\"2\"")));
    EXPECT_TRUE(s.contains(
        QStringLiteral("vardex_voltage_volts{channel=\"1\",caption=\"А1_12В\"} 11.985112")));
    EXPECT_TRUE(s.contains(
        QStringLiteral("vardex_voltage_volts{channel=\"6\",caption=\"VFC_220\"} 231.5")));
    EXPECT_TRUE(s.contains(QStringLiteral("vardex_fan_speed_rpm{fan=\"1\"} 1800")));
    EXPECT_TRUE(s.contains(QStringLiteral("vardex_fan_task_ratio{fan=\"1\"} 0.6")));
    EXPECT_TRUE(s.contains(QStringLiteral("vardex_contact_input{input=\"1\"} 1")));
    EXPECT_TRUE(s.contains(QStringLiteral("vardex_output_on{kind=\"relay\",output=\"1\"} 0")));
    EXPECT_TRUE(s.contains(QStringLiteral("vardex_output_on{kind=\"relay\",output=\"3\"} 1")));
    // Relay 2 is not enabled: no series for it.
    EXPECT_FALSE(s.contains(QStringLiteral("vardex_output_on{kind=\"relay\",output=\"2\"} 0")));
    EXPECT_TRUE(s.contains(
        QStringLiteral("vardex_alarm{kind=\"temperature\",channel=\"1\",caption=\"Темпер 1\"} 1")));
    EXPECT_TRUE(s.contains(
        QStringLiteral("vardex_alarm{kind=\"fan\",channel=\"2\",caption=\"Вент. 2\"} 0")));
}

TEST(MetricsText, ControllerGoneLeavesNoStaleReading)
{
    fleet::Snapshot s = answered();
    s.up = false;
    const QByteArray text = fleet::renderMetrics(s);
    const QStringList lines = samples(text);
    EXPECT_TRUE(lines.contains(QStringLiteral("vardex_controller_up 0")));
    // When it last answered stays: that is what "last poll too old" alerts on.
    EXPECT_TRUE(lines.contains(QStringLiteral("vardex_last_poll_timestamp_seconds 1765000000.5")));
    for (const char *family :
         {"vardex_temperature_celsius", "vardex_voltage_volts", "vardex_fan_speed_rpm",
          "vardex_alarm", "vardex_output_on", "vardex_contact_input"})
        EXPECT_FALSE(text.contains(family)) << family;
}

TEST(MetricsText, BeforeTheFirstPollOnlyTheServiceSpeaks)
{
    const QStringList lines = samples(fleet::renderMetrics({}));
    EXPECT_EQ(lines, (QStringList{QStringLiteral("vardex_controller_up 0"),
                                  QStringLiteral("vardex_controller_lent 0"),
                                  QStringLiteral("vardex_polls_total 0"),
                                  QStringLiteral("vardex_poll_failures_total 0")}));
}

TEST(MetricsText, LabelValuesFromTheControllerAreEscaped)
{
    fleet::Snapshot s;
    s.identity = fleet::ControllerIdentity{QStringLiteral("a\"b\\c\nd"), 1, 0, 0};
    EXPECT_TRUE(fleet::renderMetrics(s).contains(R"(serial="a\"b\\c\nd")"));
}

// Two outputs watched for the same host: each family once, one sample per pair.
TEST(MetricsText, WatchFiguresOnePerPairAndNoUnansweredRoundTrip)
{
    fleet::Snapshot s;
    s.watches = {
        fleet::WatchFigures{QStringLiteral("10.0.0.1"), QStringLiteral("relay1"), 3, 17,
                            std::nullopt, fleet::WatchStance::StoodDown},
        fleet::WatchFigures{QStringLiteral("10.0.0.1"), QStringLiteral("h2"), 0, 17, 0.0125,
                            fleet::WatchStance::HoldOff},
    };
    const QByteArray text = fleet::renderMetrics(s);
    const QStringList lines = samples(text);
    for (const QString &line :
         {QStringLiteral("vardex_watchdog_pulses_total{host=\"10.0.0.1\",output=\"relay1\"} 3"),
          QStringLiteral("vardex_watchdog_pulses_total{host=\"10.0.0.1\",output=\"h2\"} 0"),
          QStringLiteral("vardex_watchdog_misses_total{host=\"10.0.0.1\",output=\"h2\"} 17"),
          QStringLiteral(
              "vardex_watchdog_echo_rtt_seconds{host=\"10.0.0.1\",output=\"h2\"} 0.0125"),
          QStringLiteral("vardex_watchdog_stood_down{host=\"10.0.0.1\",output=\"relay1\"} 1"),
          QStringLiteral("vardex_watchdog_stood_down{host=\"10.0.0.1\",output=\"h2\"} 0"),
          QStringLiteral("vardex_watchdog_armed{host=\"10.0.0.1\",output=\"relay1\"} 0"),
          QStringLiteral("vardex_watchdog_armed{host=\"10.0.0.1\",output=\"h2\"} 0")})
        EXPECT_TRUE(lines.contains(line)) << line.toStdString();
    EXPECT_FALSE(
        text.contains("vardex_watchdog_echo_rtt_seconds{host=\"10.0.0.1\",output=\"relay1\"}"));
    EXPECT_EQ(text.count("# TYPE vardex_watchdog_pulses_total "), 1);
    EXPECT_EQ(text.count("# TYPE vardex_watchdog_stood_down "), 1);

    s.watches[1].stance = fleet::WatchStance::Armed;
    EXPECT_TRUE(
        samples(fleet::renderMetrics(s))
            .contains(QStringLiteral("vardex_watchdog_armed{host=\"10.0.0.1\",output=\"h2\"} 1")));
}

// A loan hides the readings even from a snapshot that still says up; the identity
// stays (the controller is still this service's).
TEST(MetricsText, LentControllerIsDownSaysSoAndKeepsItsIdentity)
{
    fleet::Snapshot s = answered();
    s.lent = true;
    s.lentTo = QStringLiteral("vardex pid 4242");
    const QByteArray text = fleet::renderMetrics(s);
    const QStringList lines = samples(text);
    EXPECT_TRUE(lines.contains(QStringLiteral("vardex_controller_up 0")));
    EXPECT_TRUE(lines.contains(QStringLiteral("vardex_controller_lent 1")));
    EXPECT_FALSE(text.contains("vardex_temperature_celsius"));
    EXPECT_TRUE(
        lines.join('\n').contains(QStringLiteral("vardex_controller_info{serial=\"QB-0042\"")));
}

} // namespace

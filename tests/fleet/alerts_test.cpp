// The shipped alert rules and dashboard: promtool accepts the rules and their unit
// tests, and every metric name they use is one the exporter emits.
#include "fleet/metrics_text.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

namespace {

using namespace vardex;

const QString kSource = QStringLiteral(VARDEX_SOURCE_DIR);
const QString kRules = kSource + QStringLiteral("/packaging/prometheus/vardex-alerts.yml");
const QString kDashboard = kSource + QStringLiteral("/packaging/grafana/vardex-dashboard.json");

struct ToolRun {
    int exitCode = -1;
    QByteArray out;
};

ToolRun promtool(const QStringList &args, const QByteArray &input = {})
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("promtool"), args);
    p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAll()};
}

// A fully equipped, answering cabinet watching two host and output pairs.
fleet::Snapshot equipped()
{
    fleet::Snapshot s;
    s.up = true;
    s.identity = fleet::ControllerIdentity{QStringLiteral("QB-1"), 1, 0, 0};
    s.lastPollSeconds = 1.0;
    s.watches = {
        fleet::WatchFigures{QStringLiteral("10.0.0.1"), QStringLiteral("relay1"), 1, 1, 0.01},
        fleet::WatchFigures{QStringLiteral("10.0.0.2"), QStringLiteral("l4"), 0, 9, std::nullopt,
                            fleet::WatchStance::StoodDown}};
    link::MonitorConfig &c = s.config;
    c.temperEnable = c.analogEnable = c.contactEnable = c.ttlInputEnable = 0xFF;
    c.ttlOutputEnable = c.switchEnable = c.relayEnable = c.fanEnable = 0xFF;
    return s;
}

// Every family such a cabinet emits.
QSet<QString> emittedNames()
{
    QSet<QString> names;
    const auto type =
        QRegularExpression(QStringLiteral("^# TYPE (\\S+) "), QRegularExpression::MultilineOption);
    for (auto it = type.globalMatch(QString::fromUtf8(fleet::renderMetrics(equipped())));
         it.hasNext();)
        names.insert(it.next().captured(1));
    return names;
}

QSet<QString> namesUsed(const QString &text)
{
    QSet<QString> out;
    const auto name = QRegularExpression(QStringLiteral("\\bvardex_[a-z0-9_]+"));
    for (auto it = name.globalMatch(text); it.hasNext();)
        out.insert(it.next().captured(0));
    return out;
}

void collectQueries(const QJsonValue &v, QStringList *out)
{
    if (v.isObject()) {
        const QJsonObject o = v.toObject();
        for (auto it = o.begin(); it != o.end(); ++it) {
            if ((it.key() == QLatin1String("expr") || it.key() == QLatin1String("definition")) &&
                it.value().isString())
                *out << it.value().toString();
            collectQueries(it.value(), out);
        }
    } else if (v.isArray()) {
        for (const QJsonValue &e : v.toArray())
            collectQueries(e, out);
    }
}

TEST(AlertRules, PromtoolChecksAndTheirUnitTestsPass)
{
    const ToolRun check = promtool({QStringLiteral("check"), QStringLiteral("rules"), kRules});
    EXPECT_EQ(check.exitCode, 0) << check.out.toStdString();
    const ToolRun test =
        promtool({QStringLiteral("test"), QStringLiteral("rules"),
                  kSource + QStringLiteral("/tests/fleet/data/vardex-alerts-test.yml")});
    EXPECT_EQ(test.exitCode, 0) << test.out.toStdString();
}

// Whatever the service can be in: answering with two watched pairs, or lent with
// its readings withheld.
TEST(MetricsText, PromtoolAcceptsWatchedPairsAndALentController)
{
    fleet::Snapshot s = equipped();
    for (const bool lent : {false, true}) {
        s.up = !lent;
        s.lent = lent;
        const ToolRun check =
            promtool({QStringLiteral("check"), QStringLiteral("metrics")}, fleet::renderMetrics(s));
        EXPECT_EQ(check.exitCode, 0) << "lent " << lent << ": " << check.out.toStdString();
    }
}

TEST(AlertRules, UseOnlyNamesTheExporterEmits)
{
    QFile f(kRules);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QSet<QString> used = namesUsed(QString::fromUtf8(f.readAll()));
    EXPECT_GE(used.size(), 7);
    const QSet<QString> emitted = emittedNames();
    for (const QString &n : used)
        EXPECT_TRUE(emitted.contains(n)) << n.toStdString();
}

TEST(Dashboard, QueriesUseOnlyNamesTheExporterEmits)
{
    QFile f(kDashboard);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll(), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    QStringList queries;
    collectQueries(doc.object(), &queries);
    ASSERT_GE(queries.size(), 10);
    const QSet<QString> emitted = emittedNames();
    for (const QString &q : queries) {
        const QSet<QString> used = namesUsed(q);
        EXPECT_FALSE(used.isEmpty()) << q.toStdString();
        for (const QString &n : used)
            EXPECT_TRUE(emitted.contains(n)) << n.toStdString() << " in " << q.toStdString();
    }
}

} // namespace

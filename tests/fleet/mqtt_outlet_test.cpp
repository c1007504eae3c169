// The MQTT outlet against a real mosquitto broker when another controller takes the
// first one's place in the same service: the topics, the device and the last will
// follow the new serial.
#include "mosquitto_rig.h"

#include "cli/serve_command.h"
#include "fleet/snapshot.h"
#include "platform/mqtt_outlet.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

using namespace vardex;

fleet::Snapshot controller(const char *serial)
{
    fleet::Snapshot s;
    s.up = true;
    s.identity = fleet::ControllerIdentity{QString::fromLatin1(serial), 7, 0, 1};
    s.config.temperEnable = 0b1;
    s.config.dallasResolution[0] = 3;
    s.state.temperatures[0] = 320;
    return s;
}

// The service as its own process, so the test can kill it and see where the will goes:
// it publishes controller QB-A, waits for the go, then publishes QB-B and stays until
// killed or the test's end of the pipe closes.
class ServiceProcess {
public:
    explicit ServiceProcess(quint16 port)
    {
        int go[2];
        if (::pipe(go) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(go[1]);
            run(port, go[0]);
        }
        ::close(go[0]);
        m_go = go[1];
    }
    ~ServiceProcess()
    {
        kill();
        ::close(m_go);
    }
    bool started() const { return m_pid > 0; }
    bool go() { return ::write(m_go, "g", 1) == 1; }
    void kill()
    {
        if (m_pid <= 0)
            return;
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }

private:
    [[noreturn]] static void run(quint16 port, int goFd);
    pid_t m_pid = -1;
    int m_go = -1;
};

void ServiceProcess::run(quint16 port, int goFd)
{
    cli::MqttSettings settings;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = port;
    QString error;
    std::unique_ptr<fleet::Outlet> outlet = platform::makeMqttOutlet(settings, &error);
    if (!outlet)
        ::_exit(1);
    outlet->publish(controller("QB-A"));
    char go = 0;
    if (::read(goFd, &go, 1) != 1)
        ::_exit(1);
    outlet->publish(controller("QB-B"));
    while (::read(goFd, &go, 1) > 0) {
    }
    ::_exit(0);
}

TEST(MqttOutlet, AnotherControllerGetsItsOwnTopicsDeviceAndWill)
{
    test::MosquittoBroker broker;
    ASSERT_NO_FATAL_FAILURE(broker.start());
    ASSERT_NO_FATAL_FAILURE(
        broker.listen(QStringLiteral("vardex/+/availability"), "vardex/probe/availability"));
    ServiceProcess service(broker.port);
    ASSERT_TRUE(service.started());
    ASSERT_TRUE(broker.heardUntil("vardex/QB-A/availability online")) << broker.heard();
    ASSERT_TRUE(service.go());
    ASSERT_TRUE(broker.heardUntil("vardex/QB-B/availability online")) << broker.heard();

    const QJsonObject config =
        QJsonDocument::fromJson(broker.retained(QStringLiteral(
                                    "homeassistant/sensor/vardex_QB-B/temperature_1/config")))
            .object();
    EXPECT_EQ(config.value(QStringLiteral("state_topic")).toString(),
              QStringLiteral("vardex/QB-B/state"));
    EXPECT_EQ(config.value(QStringLiteral("availability_topic")).toString(),
              QStringLiteral("vardex/QB-B/availability"));
    const QJsonObject state =
        QJsonDocument::fromJson(broker.retained(QStringLiteral("vardex/QB-B/state"))).object();
    EXPECT_EQ(state.value(QStringLiteral("serial")).toString(), QStringLiteral("QB-B"));
    EXPECT_EQ(broker.retained(QStringLiteral("vardex/QB-A/availability")), "offline");

    // A death now must mark the new controller offline, not the first one again.
    service.kill();
    ASSERT_TRUE(broker.heardUntil("vardex/QB-B/availability offline")) << broker.heard();
    EXPECT_EQ(broker.heard(), "vardex/QB-A/availability online\n"
                              "vardex/QB-A/availability offline\n"
                              "vardex/QB-B/availability online\n"
                              "vardex/QB-B/availability offline\n");
}

} // namespace

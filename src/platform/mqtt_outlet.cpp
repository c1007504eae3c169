#include "platform/mqtt_outlet.h"

#include "files/file_io.h"
#include "fleet/mqtt_messages.h"

#include <QFileInfo>
#include <QHash>

#include <mosquitto.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace vardex::platform {

namespace {

constexpr int kKeepAliveS = 30;
constexpr int kQos = 1;
constexpr qint64 kPasswordMax = 4096;
constexpr std::chrono::seconds kOfflineWait{2};
const QByteArray kOnline = "online";
const QByteArray kOffline = "offline";

class MqttOutlet final : public fleet::Outlet {
public:
    MqttOutlet(cli::MqttSettings settings, QByteArray password)
        : m_settings(std::move(settings)), m_password(std::move(password))
    {
        m_topics.prefix = m_settings.topicPrefix;
        m_topics.discoveryPrefix = m_settings.discoveryPrefix;
    }

    ~MqttOutlet() override { stop(); }

    void publish(const fleet::Snapshot &s) override
    {
        if (!s.identity)
            return;
        if (m_client && s.identity->serial != m_serial) {
            // Another controller arrived: the first one's device goes unavailable, and
            // the will must name the new one's availability, which only a new
            // connection can set.
            stop();
        }
        if (!m_client && !start(s.identity->serial))
            return;
        std::vector<fleet::MqttMessage> discovery = fleet::discoveryMessages(m_topics, s);
        std::lock_guard lock(m_mutex);
        // A config goes out when it is new or says something new. While the controller
        // is down only the watches' entries come, and the readings keep their configs.
        for (fleet::MqttMessage &m : discovery) {
            const auto known = m_discovery.constFind(m.topic);
            if (known != m_discovery.cend() && known->payload == m.payload)
                continue;
            sendLocked(m);
            m_discovery.insert(m.topic, std::move(m));
        }
        m_state = {fleet::stateTopic(m_topics, m_serial), fleet::stateJson(s), true};
        sendLocked(m_state);
    }

    void record(const fleet::Event &e) override
    {
        if (!m_client)
            return;
        std::lock_guard lock(m_mutex);
        sendLocked({fleet::eventTopic(m_topics, e, m_serial), fleet::eventJson(e), false});
    }

private:
    // A clean stop says offline itself; the will covers only a death. The disconnect
    // waits (bounded) for the broker to take the offline: a socket closed with its
    // acknowledgement unread is reset, and the broker may then lose the DISCONNECT
    // and send the will as well.
    void stop()
    {
        if (!m_client)
            return;
        {
            std::unique_lock lock(m_mutex);
            // A reconnection on the client's thread meanwhile must not say online
            // after this offline.
            m_stopping = true;
            mosquitto_publish(m_client, &m_offlineMid, m_availability.constData(),
                              int(kOffline.size()), kOffline.constData(), kQos, true);
            m_changed.wait_for(lock, kOfflineWait,
                               [this] { return m_offlineTaken || !m_connected; });
        }
        mosquitto_disconnect(m_client);
        mosquitto_loop_stop(m_client, false);
        mosquitto_destroy(m_client);
        m_client = nullptr;
        std::lock_guard lock(m_mutex);
        m_stopping = m_connected = m_offlineTaken = false;
        m_offlineMid = -1;
        m_discovery.clear();
        m_state = {};
    }

    bool start(const QString &serial)
    {
        m_serial = serial;
        m_availability = fleet::availabilityTopic(m_topics, serial);
        const QByteArray id =
            QStringLiteral("vardex-%1-%2").arg(fleet::topicLevel(serial)).arg(getpid()).toUtf8();
        m_client = mosquitto_new(id.constData(), true, this);
        if (!m_client)
            return false;
        mosquitto_int_option(m_client, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
        if (!m_settings.user.isEmpty())
            mosquitto_username_pw_set(m_client, m_settings.user.toUtf8().constData(),
                                      m_password.isEmpty() ? nullptr : m_password.constData());
        if (!m_settings.caFile.isEmpty())
            mosquitto_tls_set(m_client, QFile::encodeName(m_settings.caFile).constData(), nullptr,
                              nullptr, nullptr, nullptr);
        mosquitto_will_set(m_client, m_availability.constData(), int(kOffline.size()),
                           kOffline.constData(), kQos, true);
        mosquitto_connect_callback_set(m_client, [](mosquitto *, void *self, int rc) {
            if (rc == 0)
                static_cast<MqttOutlet *>(self)->connected();
        });
        mosquitto_disconnect_callback_set(m_client, [](mosquitto *, void *self, int) {
            static_cast<MqttOutlet *>(self)->disconnected();
        });
        mosquitto_publish_callback_set(m_client, [](mosquitto *, void *self, int mid) {
            static_cast<MqttOutlet *>(self)->published(mid);
        });
        mosquitto_reconnect_delay_set(m_client, 1, 30, true);
        mosquitto_connect_async(m_client, m_settings.host.toUtf8().constData(), m_settings.port,
                                kKeepAliveS);
        mosquitto_loop_start(m_client);
        return true;
    }

    // On the client's thread, after every (re)connection: the broker may have lost
    // what was retained, so everything retained is said again.
    void connected()
    {
        std::lock_guard lock(m_mutex);
        m_connected = true;
        if (m_stopping)
            return;
        sendLocked({m_availability, kOnline, true});
        for (const auto &m : m_discovery)
            sendLocked(m);
        if (!m_state.topic.isEmpty())
            sendLocked(m_state);
    }

    void disconnected()
    {
        std::lock_guard lock(m_mutex);
        m_connected = false;
        m_changed.notify_all();
    }

    void published(int mid)
    {
        std::lock_guard lock(m_mutex);
        if (mid == m_offlineMid) {
            m_offlineTaken = true;
            m_changed.notify_all();
        }
    }

    void sendLocked(const fleet::MqttMessage &m)
    {
        mosquitto_publish(m_client, nullptr, m.topic.constData(), int(m.payload.size()),
                          m.payload.constData(), kQos, m.retain);
    }

    cli::MqttSettings m_settings;
    QByteArray m_password;
    fleet::MqttTopics m_topics;
    QString m_serial;
    QByteArray m_availability;
    mosquitto *m_client = nullptr;
    std::mutex m_mutex;
    QHash<QByteArray, fleet::MqttMessage> m_discovery; // by topic
    fleet::MqttMessage m_state;
    std::condition_variable m_changed;
    bool m_stopping = false;
    bool m_connected = false;
    int m_offlineMid = -1;
    bool m_offlineTaken = false;
};

} // namespace

std::unique_ptr<fleet::Outlet> makeMqttOutlet(const cli::MqttSettings &settings, QString *error)
{
    static const int init = mosquitto_lib_init();
    Q_UNUSED(init);
    QByteArray password;
    if (!settings.passwordFile.isEmpty()) {
        const files::ReadResult r = files::readBounded(settings.passwordFile, kPasswordMax);
        if (!r.ok || r.truncated()) {
            *error = QStringLiteral("файл пароля %1: %2")
                         .arg(settings.passwordFile,
                              r.ok ? QStringLiteral("слишком длинный") : r.reason);
            return nullptr;
        }
        password = r.bytes;
        while (password.endsWith('\n') || password.endsWith('\r'))
            password.chop(1);
    }
    if (!settings.caFile.isEmpty() && !QFileInfo(settings.caFile).isReadable()) {
        *error = QStringLiteral("файл CA %1 не читается").arg(settings.caFile);
        return nullptr;
    }
    return std::make_unique<MqttOutlet>(settings, password);
}

} // namespace vardex::platform

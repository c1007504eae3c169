#pragma once

#include "fleet/event.h"
#include "fleet/snapshot.h"

#include <QByteArray>
#include <QString>

#include <vector>

// What the cabinet service publishes over MQTT, as topics and payloads. Pure: the
// client (platform/mqtt_outlet) only sends these. Under <prefix>/<serial>/:
//   availability  "online" / "offline" (retained; "offline" is the last will)
//   state         JSON of the last poll, whether the controller is lent and the ping
//                 watches' figures (retained)
//   event         one JSON per event (not retained)
// and Home Assistant discovery configs under <discovery>/<component>/vardex_<serial>/<key>/config.
// The serial is the controller's as the snapshot names it: another controller in the
// same service gets topics of its own.
namespace vardex::fleet {

struct MqttMessage {
    QByteArray topic;
    QByteArray payload;
    bool retain = false;
};

struct MqttTopics {
    QString prefix = QStringLiteral("vardex");
    QString discoveryPrefix = QStringLiteral("homeassistant");
};

// A serial number as a topic level: letters, digits, '-' and '_' kept, others '_'
// (a '/', '+' or '#' from the controller must not make levels or wildcards).
QString topicLevel(const QString &serial);

QByteArray availabilityTopic(const MqttTopics &t, const QString &serial);
QByteArray stateTopic(const MqttTopics &t, const QString &serial);
QByteArray eventTopic(const MqttTopics &t, const QString &serial);
// Where an event goes: to the controller it names (its SERIAL field), else to the one
// served now. The loss of the first controller told after the second arrived stays
// the first one's.
QByteArray eventTopic(const MqttTopics &t, const Event &event, const QString &servedSerial);

// One value of the state, as a sensor or a binary sensor of the device.
struct StateEntry {
    bool binary = false;
    QString key;         // "temperature_1", "relay_3", "alarm_fan_2"
    QString name;        // what Home Assistant shows
    QString deviceClass; // "temperature", "voltage", "door", "power", "problem", or empty
    QString unit;        // "°C", "V", "rpm", "%", or empty
    double value = 0;
    bool counter = false; // only grows (a watch's pulses)
};
// The readings of an answered poll (none while the controller is down or lent), and each
// ping watch's pulses, counted whatever the controller does.
std::vector<StateEntry> stateEntries(const Snapshot &snapshot);

QByteArray stateJson(const Snapshot &snapshot);
QByteArray eventJson(const Event &event);
// Discovery configs for every entry of the snapshot, retained.
std::vector<MqttMessage> discoveryMessages(const MqttTopics &t, const Snapshot &snapshot);

} // namespace vardex::fleet

#pragma once

#include "fleet/snapshot.h"

#include <QByteArray>
#include <QString>

// The Prometheus text exposition of a snapshot. Pure: the HTTP listener and the
// textfile writer serve what this returns, never a reading of their own.
namespace vardex::fleet {

inline constexpr const char *kMetricsContentType = "text/plain; version=0.0.4; charset=utf-8";

QByteArray renderMetrics(const Snapshot &snapshot);

// A label value as the format wants it: backslash, double quote and line feed escaped.
QString escapeLabelValue(const QString &value);

// Which kind of alarm system flag n (1..64) stands for, and its channel; kind empty for
// a flag that is no alarm (the loops, the unused ones).
struct AlarmFlag {
    QString kind; // "voltage", "analog", "battery", "power", "temperature", "sensor_break", "fan"
    int channel = 0;
};
AlarmFlag alarmFlag(int n);

// Analog channels 1..3 and the mains carry volts; 4 and 5 what the cabinet wires to them.
bool isVoltageChannel(int channel);
// The caption of analog channel 1..6 as the program names it everywhere.
QString analogCaption(int channel);

} // namespace vardex::fleet

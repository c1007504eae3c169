#pragma once

#include "common/channel_names.h"
#include "log/log_record.h"

#include <QWidget>

#include <array>
#include <cstdint>

class QCheckBox;
class QLabel;

namespace vardex::log {

// The record view of the log page: the record header, the inputs, the outputs and
// the flags of one LogRecord, in display-only controls named as the system names
// them (stLogRecNumber, cbLogContact1, cblogFlags33, ...).
class LogView : public QWidget {
    Q_OBJECT
public:
    explicit LogView(QWidget *parent = nullptr);

    // Temperatures are scaled by each sensor's resolution code (0..3; "*" otherwise).
    void showRecord(const LogRecord &record, const std::array<std::uint8_t, 6> &resolution);
    // While the resolutions are a guess the temperature fields are tinted, the group's
    // caption carries a "?" and the fields' hint says why.
    void setResolutionsKnown(bool known);
    bool resolutionsKnown() const { return m_resolutionsKnown; }
    // Analog 4, 5 and the mains: their labels and flags 4..6.
    void setChannelNames(const ChannelNames &names);
    // The flags group, placed by the page beside the rest of the view.
    QWidget *flagsBox() const { return m_flagsBox; }

private:
    QLabel *m_number = nullptr;
    std::array<QLabel *, 6> m_stamp{}; // day, month, year, hour, minute, second
    std::array<QCheckBox *, 8> m_contacts{};
    std::array<QCheckBox *, 8> m_ttlInputs{};
    std::array<QLabel *, kAnalogs> m_analog{};
    QLabel *m_mains = nullptr;
    std::array<QLabel *, kSensors> m_temperatures{};
    QWidget *m_temperatureBox = nullptr;
    bool m_resolutionsKnown = true;

    void markTemperatures();
    std::array<QLabel *, kFans> m_fanSpeeds{};
    std::array<QLabel *, kFans> m_fanTasks{};
    std::array<QCheckBox *, 8> m_ttlOutputs{};
    std::array<QCheckBox *, 8> m_switches{}; // high-side 1..4, then low-side 1..4
    std::array<QCheckBox *, 6> m_relays{};
    std::array<QCheckBox *, 64> m_flags{};
    std::array<QLabel *, 3> m_channelLabels{};
    QWidget *m_flagsBox = nullptr;
};

// A control of the page by name, without regard to case (nullptr when none).
QWidget *findLogControl(const QWidget *root, const QString &name);

} // namespace vardex::log

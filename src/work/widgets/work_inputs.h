#pragma once

#include "common/channel_names.h"

#include <QGroupBox>

#include <array>

class QCheckBox;
class QLabel;

namespace vardex::link {
struct MonitorConfig;
struct MonitorState;
} // namespace vardex::link

namespace vardex::ui {

// "Входные параметры": temperatures, analog channels, TTL inputs and contacts.
// Display only; nothing here talks to the controller.
class WorkInputs : public QGroupBox {
    Q_OBJECT
public:
    explicit WorkInputs(QWidget *parent = nullptr);

    // Writes every input from the state (disabled items too).
    void showState(const link::MonitorState &state, const link::MonitorConfig &config);
    // Enables each channel whose bit is set in its configuration mask.
    void enableChannels(const link::MonitorConfig &config);
    // Channels 4, 5 and the mains carry their own names.
    void setChannelNames(const ChannelNames &names);

private:
    std::array<QLabel *, 6> m_analogCaptions{};
    std::array<QLabel *, 6> m_temper{};
    std::array<QLabel *, 6> m_analog{}; // 1..5 and the mains (stPower)
    std::array<QCheckBox *, 8> m_ttlInputs{};
    std::array<QCheckBox *, 8> m_contacts{};
};

} // namespace vardex::ui

#pragma once

#include "common/channel_names.h"

#include "link/device_image.h"

#include <QWidget>

#include <cstdint>

namespace vardex::config {

// "Входы системы": analog channels (enable, scaling, alarms, debounce),
// temperature sensors (enable, resolution, alarms, debounce), contacts and
// TTL inputs. Every user action stores into the configuration at once.
class InputsPage : public QWidget {
    Q_OBJECT
public:
    InputsPage(link::MonitorConfig &config, QWidget *parent = nullptr);

    // Steps 2 to 4 of filling the pages: contacts, TTL inputs, analog, sensors.
    void showConfig();
    // Channels 4, 5 and the mains are captioned by their names.
    void setChannelNames(const ChannelNames &names);

private:
    QWidget *buildAnalog();
    QWidget *buildTemperature();
    QWidget *buildChecks(const QString &title, const char *family,
                         std::uint8_t link::MonitorConfig::*mask);
    void showTemperatureAlarms(int n);

    link::MonitorConfig &m_config;
};

} // namespace vardex::config

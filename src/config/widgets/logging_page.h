#pragma once

#include "common/channel_names.h"

#include "link/device_image.h"

#include <QWidget>

namespace vardex::config {

// "Логирование": the normal and alarm logging periods and which analog channels
// and sensors are logged. A channel can be chosen for logging only when it is
// enabled; that follows the enable masks at the next fill, not at once.
class LoggingPage : public QWidget {
    Q_OBJECT
public:
    LoggingPage(link::MonitorConfig &config, QWidget *parent = nullptr);

    // Steps 9 and 10 of filling the pages.
    void showConfig();
    // Channels 4, 5 and the mains are captioned by their names.
    void setChannelNames(const ChannelNames &names);

private:
    link::MonitorConfig &m_config;
};

} // namespace vardex::config

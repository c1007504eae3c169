#pragma once

#include "link/device_image.h"

#include <QWidget>

#include <cstdint>

namespace vardex::config {

// "Выходы системы": PWM (fan) channels with minimum level and pulses per
// revolution, high-side and low-side switches, relays and TTL outputs. Enabling
// an output also changes the look of its loop node in the tree.
class OutputsPage : public QWidget {
    Q_OBJECT
public:
    OutputsPage(link::MonitorConfig &config, QWidget *parent = nullptr);

    // Steps 5 to 8 of filling the pages (TTL outputs, switches, relays, fans),
    // each box followed by its node's look.
    void showConfig();

signals:
    void nodeLookChanged(int node, bool enabled);

private:
    struct Family {
        const char *name;
        const char *caption; // "%1" is the item number
        std::uint8_t link::MonitorConfig::*mask;
        int firstBit;
        int count;
        int firstNode; // node of item 1
    };
    QWidget *buildFamily(const QString &title, const Family &family);
    QWidget *buildFans();
    void showFamily(const Family &family);

    link::MonitorConfig &m_config;
};

} // namespace vardex::config

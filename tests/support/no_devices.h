#pragma once

#include "link/transport.h"

namespace vardex::test {

// A transport with no devices: the window's and pages' own behaviour, without a
// controller. Counts writes, which must never happen without a device.
class NoDevices final : public link::Transport {
public:
    void start() override {}
    QList<link::HidDeviceInfo> devices() const override { return {}; }
    bool openDevice(const QString &, QString *) override { return false; }
    void closeDevice(const QString &) override {}
    bool write(const QString &, const std::array<std::uint8_t, link::kOutputReportSize> &,
               QString *, quint32 *) override
    {
        ++writes;
        return true;
    }
    int writes = 0;
};

} // namespace vardex::test

#pragma once

#include "link/data_module.h"
#include "sim/scenarios.h"
#include "sim/sim_transport.h"
#include "support/recording_prompts.h"
#include "support/test_support.h"
#include "ui/page_context.h"
#include "ui/status_bar.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace vardex::test {

// The loop pages' world: a data module on one plugged simulated controller, the
// prompt seam and a status bar.
struct LoopsRig {
    explicit LoopsRig(sim::Firmware firmware = sim::fullControllerFirmware24())
    {
        sim::SimDeviceOptions options;
        options.realTime = false;
        options.firmware = std::move(firmware);
        id = transport.addDevice(std::move(options));
        transport.plug(id);
        transport.start();
        connected = waitUntil([&] { return dm.hasDevice(); }, 2000);
        // The image as a device description leaves it: every output and input in use.
        auto &c = dm.image().config;
        c.firmwareVersion = 24;
        c.contactEnable = c.ttlInputEnable = c.ttlOutputEnable = c.switchEnable = 0xFF;
        c.analogEnable = c.temperEnable = c.relayEnable = 0x3F;
        c.fanEnable = 0x0F;
        c.analogA.fill(1.0f);
    }

    link::DeviceImage &image() { return dm.image(); }

    // Requests the controller received with this code (and Arg1 when given).
    std::vector<link::Payload> received(int code, int arg1 = -1) const
    {
        std::vector<link::Payload> out;
        for (const auto &p : transport.receivedRequests(id)) {
            if (p[link::pos::Code] == code && (arg1 < 0 || p[link::pos::Arg1] == arg1))
                out.push_back(p);
        }
        return out;
    }

    sim::SimTransport transport;
    link::DataModule dm{transport};
    RecordingPrompts prompts;
    ui::StatusBar statusBar;
    ui::PageContext ctx{dm, prompts, statusBar};
    QString id;
    bool connected = false;
};

// Types text into a numeric edit as a user would, then presses Enter.
inline void typeAndCommit(QAbstractSpinBox *edit, const QString &text)
{
    QKeyEvent selectAll(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier);
    QApplication::sendEvent(edit, &selectAll);
    for (QChar ch : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(edit, &press);
    }
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(edit, &enter);
}

template <typename T> T *child(const QWidget &parent, const QString &name)
{
    return parent.findChild<T *>(name);
}

} // namespace vardex::test

#pragma once

#include "support/page_rig.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace vardex::test {

// The loop pages' world: a page rig whose image has every loop's output in use.
struct LoopsRig : PageRig {
    explicit LoopsRig(sim::Firmware firmware = sim::fullControllerFirmware24())
        : PageRig(std::move(firmware))
    {
        // The image as a device description leaves it: every output and input in use.
        auto &c = dm.image().config;
        c.firmwareVersion = 24;
        c.contactEnable = c.ttlInputEnable = c.ttlOutputEnable = c.switchEnable = 0xFF;
        c.analogEnable = c.temperEnable = c.relayEnable = 0x3F;
        c.fanEnable = 0x0F;
        c.analogA.fill(1.0f);
    }
};

// Types text into a numeric edit as a user would, then presses Enter.
// Types over the whole text without leaving the edit.
inline void typeText(QAbstractSpinBox *edit, const QString &text)
{
    QKeyEvent selectAll(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier);
    QApplication::sendEvent(edit, &selectAll);
    for (QChar ch : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(edit, &press);
    }
}

inline void typeAndCommit(QAbstractSpinBox *edit, const QString &text)
{
    typeText(edit, text);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(edit, &enter);
}

template <typename T> T *child(const QWidget &parent, const QString &name)
{
    return parent.findChild<T *>(name);
}

} // namespace vardex::test

#pragma once

#include "support/recording_prompts.h"
#include "support/sim_controller.h"
#include "ui/main_window.h"
#include "work/widgets/work_page.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace vardex::test {

// The main window on a plugged simulated controller. The description (which enables
// the Work buttons and channels) is not read here; tests enable what they use.
struct WorkRig : SimController {
    explicit WorkRig(int latencyMs = 1, sim::Firmware firmware = sim::fullControllerFirmware24())
        : SimController(std::move(firmware), latencyMs)
    {
        window = std::make_unique<ui::MainWindow>(dm, &prompts);
        page = window->findChild<ui::WorkPage *>();
        plug();
        connected = dm.isConnected();
    }

    void enableButtons()
    {
        for (const char *name : {"WorkStateBtn", "AskStateBtn", "WorkTaskBtn", "GetKeyBtn",
                                 "GetOpenKeyBtn", "WriteHashBtn", "ResetHashBtn"})
            widget<QWidget>(name)->setEnabled(true);
    }

    // Enables every channel, as a description of a fully equipped controller would.
    void enableAllChannels()
    {
        link::MonitorConfig &c = dm.image().config;
        c.contactEnable = c.ttlInputEnable = c.ttlOutputEnable = c.switchEnable = 0xFF;
        c.analogEnable = c.temperEnable = c.relayEnable = 0x3F;
        c.fanEnable = 0x0F;
        page->enableChannels(c);
    }

    template <class T> T *widget(const QString &name) const
    {
        T *w = window->findChild<T *>(name);
        EXPECT_NE(w, nullptr) << name.toStdString();
        return w;
    }
    QCheckBox *box(const QString &name) const { return widget<QCheckBox>(name); }
    QLabel *label(const QString &name) const { return widget<QLabel>(name); }
    QPushButton *button(const QString &name) const { return widget<QPushButton>(name); }

    RecordingPrompts prompts;
    std::unique_ptr<ui::MainWindow> window;
    ui::WorkPage *page = nullptr;
};

// The colour a widget's text is painted in: push buttons use ButtonText, check
// boxes and labels WindowText.
inline QColor textColour(const QWidget *w)
{
    const bool pushButton = w->inherits("QPushButton");
    return w->palette().color(QPalette::Active,
                              pushButton ? QPalette::ButtonText : QPalette::WindowText);
}

inline bool isActiveLook(const QWidget *w)
{
    return w->font().bold() && textColour(w) == QColor(0, 128, 0);
}

inline bool isPlainLook(const QWidget *w)
{
    return !w->font().bold() && textColour(w) == QColor(0, 0, 0);
}

} // namespace vardex::test

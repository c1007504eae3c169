#pragma once

#include "common/channel_names.h"

namespace vardex::link {
struct DescriptionResult;
}

namespace vardex::ui {

// What the main window tells every page. A page enables its own buttons, owns its
// own timers and reacts to these itself; the window only walks its table of pages.
class Page {
public:
    virtual ~Page() = default;

    // A controller was taken (connected: it declares its feature report) or the
    // current one went away.
    virtual void onConnectionChanged(bool connected) { (void)connected; }
    // A description read ended; what it got is in the image, and result says how
    // far it came (configuration, loops, identity).
    virtual void onDescriptionRead(const link::DescriptionResult &result) { (void)result; }
    // The names of channels 4, 5 and the mains, at start-up and when they change.
    virtual void onChannelNames(const ChannelNames &names) { (void)names; }
    // The window is closing: stop timers, end what the page runs.
    virtual void onClosing() {}
};

} // namespace vardex::ui

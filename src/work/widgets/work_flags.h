#pragma once

#include "common/channel_names.h"

#include "work/system_flags.h"

#include <QGroupBox>

#include <array>

class QCheckBox;

namespace vardex::link {
struct MonitorState;
}

namespace vardex::ui {

// "Система": the 64 system flags in eight columns of eight (one state byte a
// column). Clicking a flag only changes its mark until the next display. Their
// hints go to the hint line, never to tooltips.
class WorkFlags : public QGroupBox {
    Q_OBJECT
public:
    explicit WorkFlags(QWidget *parent = nullptr);

    void showState(const link::MonitorState &state);
    QCheckBox *flag(int n) const; // 1..64, nullptr outside
    // Flags 4, 5 and 6 tell of channels 4, 5 and the mains, by their names.
    void setChannelNames(const ChannelNames &names);

private:
    std::array<QCheckBox *, work::kSystemFlagCount> m_flags{};
};

} // namespace vardex::ui

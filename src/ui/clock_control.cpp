#include "ui/clock_control.h"

#include "kit/widgets/status_bar.h"
#include "link/data_module.h"
#include "link/protocol.h"
#include "link/reply_table.h"
#include "ui/main_window.h"
#include "work/description_text.h"

#include <QDateTime>

namespace vardex::ui {

ClockControl::ClockControl(MainWindow &window) : QObject(&window), m_window(window)
{
    setObjectName(QStringLiteral("ClockControl"));
}

void ClockControl::readClock()
{
    link::DataModule &dm = m_window.dataModule();
    dm.run([this, &dm] {
        dm.send(link::protocol::readClock());
        // The error reply has been reported and brought no clock.
        if (!dm.waitReply(kReadTimeoutMs) || link::isErrorReply(dm.lastReply()))
            return;
        const link::DeviceClock &clock = dm.image().clock;
        if (const auto text = work::clockText(clock))
            m_window.statusBar().setPanelText(4, *text);
        else
            m_window.prompts().message(work::invalidClockMessage(clock), Prompts::Kind::Warning);
    });
}

void ClockControl::syncClock()
{
    link::DataModule &dm = m_window.dataModule();
    dm.run([&dm] { dm.send(work::clockSetRequest(QDateTime::currentDateTime())); });
}

} // namespace vardex::ui

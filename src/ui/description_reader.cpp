#include "ui/description_reader.h"

#include "config/widgets/setup_frame.h"
#include "kit/widgets/status_bar.h"
#include "link/config_transfer.h"
#include "link/data_module.h"
#include "link/disconnect_text.h"
#include "link/protocol.h"
#include "link/reply_table.h"
#include "loops/loop_outputs.h"
#include "loops/widgets/loop_page.h"
#include "ui/main_window.h"
#include "work/description_text.h"
#include "work/widgets/work_page.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>

#include <iterator>

namespace vardex::ui {

namespace {

const QString kNoReply = QStringLiteral("Нет ответа контроллера");

// The hourglass for the length of the read; restored on every way out, and before a
// message box so the user is not left looking at a busy pointer.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { restore(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;

    void restore()
    {
        if (m_active) {
            m_active = false;
            QApplication::restoreOverrideCursor();
        }
    }

private:
    bool m_active = true;
};

} // namespace

DescriptionReader::DescriptionReader(MainWindow &window) : QObject(&window), m_window(window)
{
    setObjectName(QStringLiteral("DescriptionReader"));
}

void DescriptionReader::read()
{
    m_window.dataModule().run([this] { readNow(); });
}

void DescriptionReader::readNow()
{
    link::DataModule &dm = m_window.dataModule();
    // A click queued behind an operation that ended with the controller gone.
    if (!dm.isConnected()) {
        emit finished();
        return;
    }
    QElapsedTimer elapsed;
    elapsed.start();
    BusyCursor cursor;
    // Ends the read: cursor back, duration in front of whatever the caption says.
    auto finishWithDuration = [&] {
        cursor.restore();
        m_window.setWindowTitle(work::withDuration(elapsed.elapsed(), m_window.windowTitle()));
        emit finished();
    };
    auto finishQuietly = [&] {
        cursor.restore();
        emit finished();
    };

    // Configuration pages 0..2 are awaited by the run; page 3 here. A failed run did
    // not ask for page 3, so there is nothing to wait for (a late page reply must not
    // pass for it).
    const bool runDone = link::readConfiguration(dm, [this, &cursor](const QString &text) {
        cursor.restore();
        m_window.prompts().message(text, Prompts::Kind::Warning);
    });
    if (!runDone || !dm.waitReply(m_timings.configPage3Ms)) {
        finishWithDuration();
        return;
    }

    updateExtendedButton();

    if (!readLoops()) {
        cursor.restore();
        if (!dm.isShuttingDown())
            noReply();
        emit finished();
        return;
    }
    // A controller pulled out during the last wait: nothing to enable any more.
    if (!dm.isConnected()) {
        finishQuietly();
        return;
    }

    m_window.setupFrame()->showMonitorConfig();
    showDeviceDescription();
    m_window.loopPage()->enableLoopInputs();
    enableButtons(kDescribedWorkButtons, std::size(kDescribedWorkButtons));

    dm.pause(m_timings.identityPauseMs);
    dm.send(link::protocol::readIdentity());
    if (!dm.waitReply(m_timings.identityMs)) {
        cursor.restore();
        if (!dm.isShuttingDown())
            noReply();
        emit finished();
        return;
    }
    // The error reply was reported already; its bytes are no serial number.
    if (!dm.isConnected() || link::isErrorReply(dm.lastReply())) {
        finishQuietly();
        return;
    }
    const QString serial = work::serialNumberText(dm.lastReply());
    m_window.setWindowTitle(work::identityCaption(m_window.applicationTitle(), serial));
    enableButtons(kIdentityButtons, std::size(kIdentityButtons));
    finishWithDuration();
}

bool DescriptionReader::readLoops()
{
    link::DataModule &dm = m_window.dataModule();
    // The extended record is asked for whatever the firmware says.
    for (int n = 1; n <= link::kLoopCount; ++n) {
        for (auto kind : {link::protocol::LoopRecord::Main, link::protocol::LoopRecord::Extended}) {
            dm.send(link::protocol::readLoop(n, kind));
            if (!dm.waitReply(m_timings.loopRecordMs))
                return false;
        }
    }
    return true;
}

void DescriptionReader::updateExtendedButton()
{
    loops::LoopPage *page = m_window.loopPage();
    page->closeExtendedBox();
    auto *button = page->findChild<QPushButton *>(QStringLiteral("UprLoopConfigExtBtn"));
    if (!button)
        return;
    if (m_window.dataModule().image().config.firmwareVersion >= loops::kExtendedLoopFirmware) {
        button->setProperty("tag", 0);
        // A loop on show keeps its own rule: its output must be enabled too.
        if (page->currentLoop() != 0)
            page->updateExtendedAvailability();
        else
            button->setEnabled(true);
    } else {
        button->setEnabled(false);
    }
}

void DescriptionReader::showDeviceDescription()
{
    const link::MonitorConfig &c = m_window.dataModule().image().config;
    StatusBar &bar = m_window.statusBar();
    bar.setPanelText(1, QStringLiteral("v %1").arg(c.firmwareVersion));
    bar.setPanelText(2, QStringLiteral("v %1").arg(c.buildVariant));
    bar.setPanelText(3, QStringLiteral("v %1").arg(c.hardwareConfigNumber));
    m_window.workPage()->enableChannels(c);
}

void DescriptionReader::enableButtons(const char *const *names, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        if (auto *w = m_window.findChild<QWidget *>(QLatin1String(names[i])))
            w->setEnabled(true);
    }
}

void DescriptionReader::noReply()
{
    // After an unplug the waits ended at once: the controller did not fail to answer.
    m_window.prompts().message(link::deviceLost(m_window.dataModule()) ? link::kDisconnectedText
                                                                       : kNoReply,
                               Prompts::Kind::Warning);
}

} // namespace vardex::ui

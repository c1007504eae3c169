#pragma once

#include "export/widgets/table_export.h"
#include "log/widgets/log_frame.h"
#include "log/widgets/log_view.h"
#include "support/page_rig.h"

#include <QLabel>
#include <QPushButton>

namespace vardex::test {

// The log page on a simulated controller, on a clock that stands still (two exports
// "in the same minute" are in the same minute) and with the desktop's opener replaced.
struct LogPage {
    explicit LogPage(sim::Firmware firmware = sim::controllerWithLog(24))
        : rig(std::move(firmware)), page(ctx)
    {
        page.onConnectionChanged(rig.connected);
        page.setUrlOpener([this](const QUrl &url) {
            opened << url;
            return openerWorks;
        });
    }

    template <typename T = QWidget> T *control(const char *name) const
    {
        return qobject_cast<T *>(log::findLogControl(&page, QLatin1String(name)));
    }
    QString text(const char *name) const { return control<QLabel>(name)->text(); }
    void click(const char *name) { control<QPushButton>(name)->click(); }
    bool readAll()
    {
        click("ReadLogBtn");
        return waitUntil([&] { return !page.isReading(); });
    }

    PageRig rig;
    ManualClock clock{QDateTime(QDate(2026, 12, 8), QTime(10, 15, 0))};
    ui::PageContext ctx{rig.dm, rig.prompts, rig.statusBar, clock};
    log::LogFrame page;
    QList<QUrl> opened;
    bool openerWorks = true;
};

} // namespace vardex::test

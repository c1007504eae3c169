#include "ui/start_options.h"

#include "service/widgets/watchdog_page.h"
#include "ui/main_window.h"

namespace vardex::ui {

void applyStartOptions(MainWindow &window, const program::WindowOptions &options)
{
    if (!options.service)
        return;
    window.showServicePages();
    if (options.watch.isEmpty())
        return;
    window.pageControl().setCurrentWidget(window.page(QStringLiteral("WatchDogTabSheet")));
    window.watchDogPage()->startWatching(options.watch, options.watchOutput);
}

} // namespace vardex::ui

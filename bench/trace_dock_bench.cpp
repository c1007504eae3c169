// The "Обмен" dock during a full log read: 16384 records, two reports each, read
// through the data module from the simulated controller with the dock shown. A
// 10 ms timer measures how long the event loop goes without turning; the figures
// are the longest and the 99th-percentile gap, and the read's rate.
#include "kit/widgets/prompts.h"
#include "link/data_module.h"
#include "link/protocol.h"
#include "sim/demo_controller.h"
#include "ui/trace_dock.h"
#include "ui/trace_model.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace vardex;

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const int records = argc > 1 ? std::atoi(argv[1]) : 16384;

    auto transport = sim::makeDemoTransport(0);
    link::DataModule dm(*transport);
    ui::WidgetPrompts prompts;
    ui::TraceDock dock(prompts);
    dock.resize(900, 420);
    dock.show();
    dm.setTraceSink([&dock](const link::TraceEntry &e) { dock.append(e); });
    transport->start();
    QElapsedTimer wait;
    wait.start();
    while (!dm.isConnected() && wait.elapsed() < 3000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);

    std::vector<qint64> gaps;
    QElapsedTimer tick;
    tick.start();
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] { gaps.push_back(tick.restart()); });
    probe.start(10);

    QElapsedTimer read;
    read.start();
    int answered = 0;
    dm.runOperation([&](link::OperationContext &ctx) {
        for (int n = 1; n <= records && !ctx.cancelled(); ++n) {
            ctx.send(link::protocol::readLogRecord(n));
            if (ctx.waitReply(100) && ctx.waitNextReport(100))
                ++answered;
        }
    });
    const double seconds = read.elapsed() / 1000.0;
    dock.flush();
    probe.stop();

    std::sort(gaps.begin(), gaps.end());
    const qint64 worst = gaps.empty() ? 0 : gaps.back();
    const qint64 p99 = gaps.empty() ? 0 : gaps[gaps.size() * 99 / 100];
    std::printf("records read          %d of %d in %.2f s (%.0f records/s)\n", answered, records,
                seconds, answered / seconds);
    std::printf("trace rows kept       %d (cap %d)\n", dock.model().rowCount(),
                dock.model().capacity());
    std::printf("event-loop gap, 10 ms timer: p99 %lld ms, worst %lld ms over %zu ticks\n",
                static_cast<long long>(p99), static_cast<long long>(worst), gaps.size());
    return 0;
}

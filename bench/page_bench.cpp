// What the window costs while the link works, in the program's own main window over the
// demo's simulated controller (2 ms per reply), shown:
// (1) a full read of the demo's 4032-record log with the log page in view, against the
//     same read with the Work page in view: CPU time of the whole process (the GUI thread
//     and the simulator's reader), wall time, and the repaints of the page in view;
// (2) polling the state once a second with the Work page in view: CPU of the process as
//     a per cent of one core, over windows of 10 s.
//   vardex_page_bench [runs=3] [poll seconds=30]
// Run offscreen (the default) or under Xvfb; CPU time is the figure to trust on a
// machine shared with other work.
#include "demo_window.h"
#include "log/widgets/log_frame.h"
#include "summary.h"

#include <QElapsedTimer>
#include <QPushButton>

#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace vardex;

namespace {

struct ReadRun {
    double cpuMs = 0;
    double wallMs = 0;
    int records = 0;
    int pagePaints = 0;
    int wholePage = 0;
};

ReadRun readWithPageInView(bench::DemoWindow &w, bench::PaintCounter &paints, const char *page)
{
    w.showPage(page);
    paints.watch(w.window.page(QLatin1String(page)));
    paints.clear();
    ReadRun r;
    const double cpu = bench::processCpuMs();
    QElapsedTimer t;
    t.start();
    w.window.logFrame()->readFullLog();
    if (!bench::spinUntil([&] { return !w.window.logFrame()->isReading(); }, 120000))
        std::fprintf(stderr, "the read did not end in 120 s\n");
    bench::spinFor(50); // the last repaints after the read
    r.wallMs = static_cast<double>(t.nsecsElapsed()) / 1e6;
    r.cpuMs = bench::processCpuMs() - cpu;
    r.records = w.window.logFrame()->store().count();
    r.pagePaints = paints.pagePaints;
    r.wholePage = paints.wholePage;
    return r;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each line as it comes, also into a pipe
    const int runs = argc > 1 ? std::max(0, std::atoi(argv[1])) : 3;
    const int pollSeconds = argc > 2 ? std::max(10, std::atoi(argv[2])) : 30;
    const bool verbose = qEnvironmentVariableIsSet("VARDEX_BENCH_VERBOSE");

    bench::DemoWindow w(2);
    if (!w.connected || !w.describe()) {
        std::fprintf(stderr, "the demo controller did not connect or describe\n");
        return 1;
    }
    std::printf("platform %s; demo controller, 2 ms per reply; %d runs of each read, the "
                "Work page's read first\n",
                qPrintable(QGuiApplication::platformName()), runs);

    bench::PaintCounter paints;
    std::vector<double> ratios, logCpu, workCpu;
    for (int run = 0; run < runs; ++run) {
        ReadRun both[2];
        int i = 0;
        for (const char *page : {"WorkTabSheet", "LogTabSheet"}) {
            const ReadRun r = readWithPageInView(w, paints, page);
            std::printf("  read with %-12s in view: %d records, %6.0f ms wall, %5.0f ms CPU, "
                        "%4d paints of the page, %3d of them whole-page\n",
                        page, r.records, r.wallMs, r.cpuMs, r.pagePaints, r.wholePage);
            if (verbose)
                paints.print();
            both[i++] = r;
        }
        workCpu.push_back(both[0].cpuMs);
        logCpu.push_back(both[1].cpuMs);
        ratios.push_back(both[1].cpuMs / std::max(1.0, both[0].cpuMs));
    }
    const bench::Spread ratio = bench::spread(ratios);
    if (runs > 0) {
        std::printf(
            "log page / Work page, CPU of the read: min %.2f, median %.2f, max %.2f (goal: at "
            "most 1.2)\n",
            ratio.min, ratio.median, ratio.max);
        bench::summary("log read CPU, log page / Work page in view", "<= 1.2 (median)", ratio, "x",
                       bench::Judge::Median, 1.2);
        bench::summary("log read CPU, log page in view (4032 records)", "(figure)",
                       bench::spread(logCpu), "ms", bench::Judge::None, 0);
    }

    // Polling once a second with the Work page in view.
    w.showPage("WorkTabSheet");
    auto *ask = w.window.findChild<QPushButton *>(QStringLiteral("AskStateBtn"));
    if (!ask || !ask->isEnabled()) {
        std::fprintf(stderr, "polling cannot be started\n");
        return 1;
    }
    paints.watch(w.window.page(QStringLiteral("WorkTabSheet")));
    ask->click();
    bench::spinFor(2500);
    paints.clear();
    std::vector<double> percents;
    for (int window = 0; window < pollSeconds / 10; ++window) {
        const double cpu = bench::processCpuMs();
        QElapsedTimer t;
        t.start();
        bench::spinFor(10000);
        percents.push_back(100.0 * (bench::processCpuMs() - cpu) /
                           (static_cast<double>(t.nsecsElapsed()) / 1e6));
    }
    ask->click();
    const bench::Spread poll = bench::spread(percents);
    std::printf("polling once a second, Work page in view: CPU %.2f / %.2f / %.2f %% of a core "
                "(min / median / max of %zu windows of 10 s); %d paints of the page, %d "
                "whole-page (goal: at most 0.5 %%)\n",
                poll.min, poll.median, poll.max, percents.size(), paints.pagePaints,
                paints.wholePage);
    if (verbose)
        paints.print(40);
    bench::summary("CPU while polling, Work page in view", "<= 0.5 % of a core (median)", poll, "%",
                   bench::Judge::Median, 0.5);
    return 0;
}

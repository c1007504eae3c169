// What the window costs while the link works, in the program's own main window over the
// demo's simulated controller (2 ms per reply), shown:
// (1) a full read of the demo's 4032-record log with the log page in view, against the
//     same read with the Work page in view: CPU time of the whole process (the GUI thread
//     and the simulator's reader), wall time, and the repaints of the page in view;
// (2) polling the state once a second with the Work page in view: CPU of the process as
//     a per cent of one core, over windows of 10 s;
// (3) display test 2 running with the display page, the watchdog page (watching
//     127.0.0.1 through the bench's own echo, which answers every ping; nothing goes on
//     the network) and the Work page in view: CPU of the process as a per cent of one
//     core over windows of 10 s, and the repaints of the page in view.
//   vardex_page_bench [runs=3] [poll seconds=30]
// Run offscreen (the default) or under Xvfb; CPU time is the figure to trust on a
// machine shared with other work.
#include "demo_window.h"
#include "log/widgets/log_frame.h"
#include "service/echo.h"
#include "service/widgets/watchdog_page.h"
#include "summary.h"

#include <QElapsedTimer>
#include <QPushButton>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <utility>
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

// The watched host, always up: every ping is answered after a millisecond.
class AnsweringHost final : public service::Echo {
public:
    void start(const service::EchoRequest &, Done done) override
    {
        m_done = std::move(done);
        QTimer::singleShot(1, [this] {
            service::EchoResult r;
            r.status = service::EchoStatus::Answered;
            r.bytes = 40;
            r.address = QStringLiteral("127.0.0.1");
            r.ttl = 64;
            if (Done done = std::exchange(m_done, {}))
                done(r);
        });
    }
    bool busy() const override { return static_cast<bool>(m_done); }

private:
    Done m_done;
};

struct Test2Window {
    int page = 0;
    double percent = 0;
    int pagePaints = 0;
    int wholePage = 0;
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each line as it comes, also into a pipe
    const int runs = argc > 1 ? std::max(0, std::atoi(argv[1])) : 3;
    // 0 skips the polling windows; the display test's windows run once per run, at least once.
    const int pollSeconds =
        argc > 2 ? std::atoi(argv[2]) <= 0 ? 0 : std::max(10, std::atoi(argv[2])) : 30;
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
    if (pollSeconds > 0) {
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
        bench::summary("CPU while polling, Work page in view", "<= 0.5 % of a core (median)", poll,
                       "%", bench::Judge::Median, 0.5);
    }

    // Display test 2 with each page in view, the watchdog watching throughout.
    w.window.showServicePages();
    service::WatchDogPage *watchdog = w.window.watchDogPage();
    watchdog->setEcho(std::make_unique<AnsweringHost>());
    watchdog->startWatching(QStringLiteral("127.0.0.1"));
    auto *start = w.window.findChild<QPushButton *>(QStringLiteral("FutabaTest2Btn"));
    auto *stop = w.window.findChild<QPushButton *>(QStringLiteral("StopTest2Btn"));
    if (!start || !stop) {
        std::fprintf(stderr, "display test 2 cannot be started\n");
        return 1;
    }
    // The test runs inside the click (its operation starts at once on a free link) until
    // it is stopped, so everything from here on is driven by timers that fire in its
    // pauses: show a page, let it settle, measure a window of 10 s, the next page.
    const char *const pages[] = {"WorkTabSheet", "FutabaTabSheet", "WatchDogTabSheet"};
    const int windows = 3 * std::max(1, runs);
    std::vector<Test2Window> measured;
    bool finished = false;
    double cpuAtStart = 0;
    QElapsedTimer windowClock;
    std::function<void(int)> beginWindow = [&](int n) {
        if (n == windows) {
            stop->click();
            finished = true;
            return;
        }
        const char *page = pages[n % 3];
        w.window.pageControl().setCurrentWidget(w.window.page(QLatin1String(page)));
        QTimer::singleShot(300, [&, n, page] {
            paints.watch(w.window.page(QLatin1String(page)));
            paints.clear();
            cpuAtStart = bench::processCpuMs();
            windowClock.start();
            QTimer::singleShot(10000, Qt::PreciseTimer, [&, n] {
                Test2Window r;
                r.page = n % 3;
                r.percent = 100.0 * (bench::processCpuMs() - cpuAtStart) /
                            (static_cast<double>(windowClock.nsecsElapsed()) / 1e6);
                r.pagePaints = paints.pagePaints;
                r.wholePage = paints.wholePage;
                measured.push_back(r);
                std::printf("  display test 2 with %-16s in view: CPU %5.2f %% of a core, %4d "
                            "paints of the page, %3d of them whole-page\n",
                            pages[r.page], r.percent, r.pagePaints, r.wholePage);
                if (verbose)
                    paints.print(12);
                beginWindow(n + 1);
            });
        });
    };
    QTimer::singleShot(0, start, &QPushButton::click);
    QTimer::singleShot(1000, [&] { beginWindow(0); });
    if (!bench::spinUntil([&] { return finished && !w.dm.isBusy(); }, 60000 + windows * 11000))
        std::fprintf(stderr, "display test 2 did not end\n");
    watchdog->watchdog().watchingToggled(false);
    bench::spinUntil([&] { return !w.dm.isBusy(); }, 5000);
    std::vector<double> test2Cpu[3];
    for (const Test2Window &r : measured)
        test2Cpu[r.page].push_back(r.percent);
    const char *const names[] = {"Work page", "display page", "watchdog page"};
    for (int i = 0; i < 3; ++i) {
        const bench::Spread s = bench::spread(test2Cpu[i]);
        std::printf("display test 2, %s in view: CPU %.2f / %.2f / %.2f %% of a core\n", names[i],
                    s.min, s.median, s.max);
        bench::summary(std::string("CPU during display test 2, ") + names[i] + " in view",
                       i == 0 ? "(figure: the link and the simulator)" : "(figure)", s, "%",
                       bench::Judge::None, 0);
    }
    return 0;
}

// How long the engineer waits for the link while a long sequence holds it: the latency
// from a click ("Часы" on the Work page: a clock read, code 4) and from a watchdog
// time-out (the echo reports no answer; the watchdog switches its output: an output
// task, code 3) to that request's report on the wire, while one of these runs:
//   display test 2 ("Futaba", "Запуск "), a full read of the demo's log, a write of all
//   loops ("Запись контуров").
// In the program's main window over the demo's simulated controller (2 ms per reply).
// The request counts as on the wire when the data module hands it to the transport
// (its trace hook). A request still not sent after `cap` ms is let through by stopping
// the background sequence, and its figure is the time it then took (at least the cap).
//   vardex_click_bench [samples=5] [cap ms=3000]
#include "demo_window.h"
#include "link/protocol.h"
#include "log/widgets/log_frame.h"
#include "service/echo.h"
#include "service/widgets/watchdog_page.h"
#include "summary.h"

#include <QElapsedTimer>
#include <QPushButton>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

using namespace vardex;

namespace {

// The watchdog's echo, answered by the bench: every ping waits for the bench to say
// "answered" or "timed out". Nothing goes on the network.
class HeldEcho final : public service::Echo {
public:
    void start(const service::EchoRequest &, Done done) override { m_done = std::move(done); }
    bool busy() const override { return static_cast<bool>(m_done); }
    void finish(service::EchoStatus status)
    {
        service::EchoResult r;
        r.status = status;
        if (status == service::EchoStatus::Answered) {
            r.bytes = 40;
            r.address = QStringLiteral("127.0.0.1");
            r.ttl = 64;
        }
        Done done = std::move(m_done);
        m_done = nullptr;
        if (done)
            done(r);
    }

private:
    Done m_done;
};

struct Background {
    const char *name;
    std::function<void()> start;
    std::function<bool()> running;
    std::function<void()> stop;
};

struct Trigger {
    const char *name;
    std::uint8_t code;
    std::function<bool()> ready; // may be fired now
    std::function<void()> fire;
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each line as it comes, also into a pipe
    const int samples = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const int capMs = argc > 2 ? std::max(200, std::atoi(argv[2])) : 3000;
    const bool verbose = qEnvironmentVariableIsSet("VARDEX_BENCH_VERBOSE");

    bench::DemoWindow w(2);
    w.window.showServicePages();
    auto echo = std::make_unique<HeldEcho>();
    HeldEcho &held = *echo;
    service::WatchDogPage *watchdog = w.window.watchDogPage();
    watchdog->setEcho(std::move(echo));
    if (!w.connected || !w.describe()) {
        std::fprintf(stderr, "the demo controller did not connect or describe\n");
        return 1;
    }
    // Between samples every ping is answered, so the watchdog only acts when told to.
    QObject::connect(watchdog->pingTimer(), &QTimer::timeout, watchdog, [&held] {
        QTimer::singleShot(1, [&held] {
            if (held.busy())
                held.finish(service::EchoStatus::Answered);
        });
    });

    QElapsedTimer clock;
    clock.start();
    std::uint8_t awaited = 0;
    qint64 sentAt = -1;
    w.dm.setTraceSink([&](const link::TraceEntry &e) {
        if (e.direction == link::TraceEntry::Direction::Sent && sentAt < 0 &&
            e.payload[link::pos::Code] == awaited)
            sentAt = clock.nsecsElapsed();
    });

    auto button = [&w](const char *name) {
        return w.window.findChild<QPushButton *>(QLatin1String(name));
    };
    // One write of all loops is short: it is started again each time the link falls idle
    // (nothing running, nothing queued), until the sample is taken.
    bool loopsRunning = false;
    QObject::connect(&w.dm, &link::DataModule::becameIdle, &w.dm, [&] {
        QTimer::singleShot(0, [&] {
            if (loopsRunning && !w.dm.isBusy())
                button("WriteUprLoopConfigBtn")->click();
        });
    });
    const std::vector<Background> backgrounds = {
        {"display test 2", [&] { button("FutabaTest2Btn")->click(); },
         [&] { return w.dm.isBusy(); }, [&] { button("StopTest2Btn")->click(); }},
        {"full log read", [&] { w.window.logFrame()->readFullLog(); },
         [&] { return w.window.logFrame()->isReading(); },
         [&] { w.window.logFrame()->stopRead(); }},
        {"write of all loops",
         [&] {
             loopsRunning = true;
             button("WriteUprLoopConfigBtn")->click();
         },
         [&] { return w.dm.isBusy(); }, [&] { loopsRunning = false; }},
    };
    const std::vector<Trigger> triggers = {
        {"click (clock read)", link::protocol::code::Clock, [] { return true; },
         [&] { button("GetDateTimeBtn")->click(); }},
        {"watchdog time-out", link::protocol::code::OutputTask,
         [&] { return held.busy() && watchdog->watchdog().phase() == service::Watchdog::Watching; },
         [&] { held.finish(service::EchoStatus::TimedOut); }},
    };
    watchdog->startWatching(QStringLiteral("192.0.2.1")); // the echo is the bench's own

    std::printf("latency from the event to its request on the wire, %d samples each, cap %d ms; "
                "platform %s\n",
                samples, capMs, qPrintable(QGuiApplication::platformName()));
    for (const Background &b : backgrounds) {
        for (const Trigger &t : triggers) {
            std::vector<double> ms;
            int capped = 0;
            for (int i = 0; i < samples; ++i) {
                // Wait for the link to be free of the previous sample's consequences and
                // for the trigger to be possible (a ping the bench may time out comes every
                // 3 s; the click needs nothing).
                bench::spinUntil([&] { return !w.dm.isBusy(); }, 30000);
                bench::spinUntil(t.ready, 10000);
                // The background sequence runs inside the call that starts it (a click
                // runs its operation at once when the link is free), so everything from
                // here on is driven by timers that fire in the sequence's own waits.
                awaited = t.code;
                sentAt = -1;
                qint64 firedAt = -1;
                bool stopped = false;
                QTimer fire;
                QObject::connect(&fire, &QTimer::timeout, [&] {
                    const qint64 now = clock.nsecsElapsed();
                    if (firedAt < 0) {
                        if (!t.ready())
                            return;
                        if (!b.running())
                            std::fprintf(stderr, "  (%s not running at the event)\n", b.name);
                        firedAt = clock.nsecsElapsed();
                        t.fire();
                    } else if (sentAt < 0 && !stopped && now - firedAt > qint64(capMs) * 1000000) {
                        ++capped; // held back until the background is stopped
                        stopped = true;
                        b.stop();
                    }
                    if (sentAt >= 0 && !stopped) {
                        stopped = true;
                        b.stop();
                    }
                });
                QTimer::singleShot(0, [&] { b.start(); });
                QTimer::singleShot(300, [&] { fire.start(2); });
                if (!bench::spinUntil([&] { return sentAt >= 0 && stopped; }, capMs + 60000))
                    std::printf("    %s during %s: never sent\n", t.name, b.name);
                fire.stop();
                b.stop();
                if (sentAt >= 0 && firedAt >= 0)
                    ms.push_back(static_cast<double>(sentAt - firedAt) / 1e6);
                if (verbose)
                    std::printf("    %s during %s: %.1f ms\n", t.name, b.name,
                                ms.empty() ? -1.0 : ms.back());
                awaited = 0;
            }
            const bench::Spread s = bench::spread(ms);
            std::printf("  %-20s during %-18s median %7.1f ms, worst %7.1f ms (%d of %d held "
                        "until the sequence was stopped)\n",
                        t.name, b.name, s.median, s.max, capped, samples);
            bench::summary(std::string("first byte after ") + t.name + " during " + b.name,
                           "<= 100 ms (median and worst)", s, "ms", bench::Judge::MedianAndMax,
                           100);
        }
    }
    watchdog->watchdog().watchingToggled(false);
    return 0;
}

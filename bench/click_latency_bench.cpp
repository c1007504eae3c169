// How long the engineer (and the watched host) waits for the link while a long sequence
// holds it: the latency from an event to the first report it puts on the wire, while one
// of these runs:
//   display test 2 ("Тест 2", "Запуск "), a full read of the demo's log, writes of all
//   loops ("Запись контуров") one after another.
// The events, each through the program's own path:
//   - a click on "Часы" on the Work page (a clock read, code 4, runBetweenSteps);
//   - a click on "Состояние" on the Work page (a state read, code 2, runBetweenSteps);
//   - a watchdog time-out: the watched host stops answering, the ping's time-out runs out
//     and the watchdog page's state machine switches its output on (an output task,
//     code 3, runPriority). Watchdog defaults: one miss in a row, no hold-off, a pulse of
//     1000 ms, so every time-out is an outage that pulses. Between two samples the host
//     answers again, so each sample is a fresh outage.
// The window is the program's main window over the demo's simulated controller (2 ms per
// reply). The echo is the bench's own (nothing goes on the network); the host typed into
// the page is 127.0.0.1.
//
// Each latency runs from the moment the event was due (the click's or the time-out's
// timer due time, so a GUI thread that was busy when it came counts against us) to the
// moment the data module hands the request to the transport (its trace hook, called at
// the write). The events come at pseudo-random moments (the same ones on every run) so that they
// fall on every phase of the background's steps. A request still not sent after `cap` ms is let
// through by stopping the background, and counts as at least the cap.
//   vardex_click_bench [samples=10] [cap ms=3000]
#include "demo_window.h"
#include "link/protocol.h"
#include "log/widgets/log_frame.h"
#include "service/echo.h"
#include "service/widgets/watchdog_page.h"
#include "summary.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QSpinBox>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <vector>

using namespace vardex;

namespace {

// The watched host as the bench plays it: up (every ping is answered at once) or down
// (every ping runs out its time-out). Records when the last time-out was due.
class ScriptedHost final : public service::Echo {
public:
    explicit ScriptedHost(const QElapsedTimer &clock) : m_clock(clock) {}

    void start(const service::EchoRequest &request, Done done) override
    {
        m_done = std::move(done);
        const int after = m_down ? request.timeoutMs : 1;
        const qint64 due = m_clock.nsecsElapsed() + qint64{after} * 1000000;
        QTimer::singleShot(after, Qt::PreciseTimer, [this, due] { finish(due); });
    }
    bool busy() const override { return static_cast<bool>(m_done); }

    void setDown(bool down) { m_down = down; }
    // When the last ping that found the host down ran out (-1: none since cleared).
    qint64 timeOutDueNs = -1;
    bool lastAnswered = false;

private:
    void finish(qint64 due)
    {
        service::EchoResult r;
        if (m_down) {
            r.status = service::EchoStatus::TimedOut;
            r.roundTripMs = 500;
            timeOutDueNs = due;
        } else {
            r.status = service::EchoStatus::Answered;
            r.bytes = 40;
            r.address = QStringLiteral("127.0.0.1");
            r.ttl = 64;
        }
        lastAnswered = !m_down;
        Done done = std::exchange(m_done, {});
        if (done)
            done(r);
    }

    const QElapsedTimer &m_clock;
    bool m_down = false;
    Done m_done;
};

struct Background {
    const char *name;
    std::function<void()> start;
    std::function<bool()> running;
    std::function<void()> stop;
};

enum class Kind { Click, Watchdog };

struct Trigger {
    const char *name;
    Kind kind;
    std::uint8_t code;
    const char *button; // for a click
};

// What one background-and-trigger pair gave.
struct Figures {
    std::vector<double> latencyMs;
    std::vector<double> pulseMs; // switch-on to switch-off on the wire (watchdog only)
    int capped = 0;
    int notRunning = 0; // the background had ended (between two loop writes) at the event
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each line as it comes, also into a pipe
    const int samples = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const int capMs = argc > 2 ? std::max(200, std::atoi(argv[2])) : 3000;
    const bool verbose = qEnvironmentVariableIsSet("VARDEX_BENCH_VERBOSE");

    QElapsedTimer clock;
    clock.start();
    bench::DemoWindow w(2);
    w.window.showServicePages();
    auto echo = std::make_unique<ScriptedHost>(clock);
    ScriptedHost &host = *echo;
    service::WatchDogPage *watchdogPage = w.window.watchDogPage();
    watchdogPage->setEcho(std::move(echo));
    if (!w.connected || !w.describe()) {
        std::fprintf(stderr, "the demo controller did not connect or describe\n");
        return 1;
    }
    service::Watchdog &watchdog = watchdogPage->watchdog();
    // A ping a second instead of every 3 s: only how soon an outage is seen changes, not
    // what the time-out does; the other settings keep their defaults.
    watchdogPage->findChild<QSpinBox *>(QStringLiteral("PingAskTimeEdit"))->setValue(1000);
    const service::WatchdogInputs settings = watchdogPage->inputs();
    watchdogPage->startWatching(QStringLiteral("127.0.0.1"));
    w.showPage("WorkTabSheet");

    // The trace hook is called as each report is handed to the transport.
    std::uint8_t awaited = 0;
    qint64 sentAt = -1;
    std::vector<qint64> outputTasks; // every output task written, for the pulses
    w.dm.setTraceSink([&](const link::TraceEntry &e) {
        if (e.direction != link::TraceEntry::Direction::Sent)
            return;
        const qint64 now = clock.nsecsElapsed();
        if (e.payload[link::pos::Code] == link::protocol::code::OutputTask)
            outputTasks.push_back(now);
        if (sentAt < 0 && awaited != 0 && e.payload[link::pos::Code] == awaited)
            sentAt = now;
    });

    auto button = [&w](const char *name) {
        auto *b = w.window.findChild<QPushButton *>(QLatin1String(name));
        if (!b)
            std::fprintf(stderr, "no button %s\n", name);
        return b;
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
        {"click \"Часы\"", Kind::Click, link::protocol::code::Clock, "GetDateTimeBtn"},
        {"click \"Состояние\"", Kind::Click, link::protocol::code::State, "WorkStateBtn"},
        {"watchdog time-out", Kind::Watchdog, link::protocol::code::OutputTask, nullptr},
    };

    std::printf("latency from the event (its due time) to its first report on the wire, %d "
                "samples each, cap %d ms; platform %s\n"
                "watchdog: ping every %d ms, time-out %d ms, %d miss(es) in a row, hold-off %d s, "
                "pulse %d ms\n",
                samples, capMs, qPrintable(QGuiApplication::platformName()),
                settings.pingIntervalMs, settings.pingTimeoutMs, settings.missesInRow,
                settings.holdOffS, settings.actuationMs);
    std::mt19937 random(27);
    std::uniform_int_distribution<int> phase(0, 400);
    int pulsesWanted = 0;
    const std::size_t pulsesBefore = outputTasks.size();
    for (const Background &b : backgrounds) {
        for (const Trigger &t : triggers) {
            Figures f;
            for (int i = 0; i < samples; ++i) {
                // The link free of the last sample's consequences, the watchdog watching
                // a host that answers (so the next time-out is a fresh outage).
                bench::spinUntil([&] { return !w.dm.isBusy(); }, 30000);
                if (t.kind == Kind::Watchdog &&
                    !bench::spinUntil(
                        [&] {
                            return host.lastAnswered && !watchdog.pingOut() &&
                                   watchdog.pulse() == service::Watchdog::Pulse::None &&
                                   watchdog.phase() == service::Watchdog::Watching &&
                                   watchdog.missesCounted() == 0;
                        },
                        10000)) {
                    std::printf("    the watchdog did not settle after the last outage\n");
                    continue;
                }
                const int delay = 200 + phase(random);
                qint64 dueAt = -1;
                sentAt = -1;
                awaited = t.code;
                const std::size_t tasksBefore = outputTasks.size();
                bool stopped = false;
                bool wasRunning = true;
                QTimer::singleShot(0, [&] { b.start(); });
                if (t.kind == Kind::Click) {
                    dueAt = clock.nsecsElapsed() + qint64{delay} * 1000000;
                    QTimer::singleShot(delay, Qt::PreciseTimer, [&] {
                        wasRunning = b.running();
                        button(t.button)->click();
                    });
                } else {
                    // The host goes down now; the next ping's time-out is the event.
                    host.timeOutDueNs = -1;
                    QTimer::singleShot(delay, Qt::PreciseTimer, [&] { host.setDown(true); });
                    ++pulsesWanted;
                }
                QTimer watch;
                QObject::connect(&watch, &QTimer::timeout, [&] {
                    if (t.kind == Kind::Watchdog && dueAt < 0 && host.timeOutDueNs >= 0) {
                        dueAt = host.timeOutDueNs;
                        wasRunning = b.running();
                    }
                    if (dueAt < 0 || stopped)
                        return;
                    const qint64 now = clock.nsecsElapsed();
                    // A watchdog sample keeps the background running until the pulse
                    // has ended on the wire, so its switch-off is measured under load too.
                    const bool done = sentAt >= 0 && (t.kind == Kind::Click ||
                                                      outputTasks.size() >= tasksBefore + 2);
                    if (done || (sentAt < 0 && now - dueAt > qint64{capMs} * 1000000)) {
                        if (!done)
                            ++f.capped; // held back until the background is stopped
                        stopped = true;
                        host.setDown(false);
                        b.stop();
                    }
                });
                watch.start(2);
                const bool ended =
                    bench::spinUntil([&] { return stopped && sentAt >= 0; }, capMs + 60000);
                watch.stop();
                host.setDown(false);
                b.stop();
                awaited = 0;
                if (!ended || dueAt < 0) {
                    std::printf("    %s during %s: never sent\n", t.name, b.name);
                    continue;
                }
                if (!wasRunning)
                    ++f.notRunning;
                f.latencyMs.push_back(static_cast<double>(sentAt - dueAt) / 1e6);
                if (t.kind == Kind::Watchdog && outputTasks.size() >= tasksBefore + 2)
                    f.pulseMs.push_back(static_cast<double>(outputTasks[tasksBefore + 1] -
                                                            outputTasks[tasksBefore]) /
                                        1e6);
                if (verbose)
                    std::printf("    %s during %s: %.2f ms%s\n", t.name, b.name, f.latencyMs.back(),
                                wasRunning ? "" : " (background not running)");
            }
            const bench::Spread s = bench::spread(f.latencyMs);
            // Padded by characters, not bytes: the captions are Cyrillic.
            std::printf("  %s during %-18s min %6.2f, median %6.2f, max %7.2f ms over %zu "
                        "(%d held until the sequence was stopped, %d with the sequence between "
                        "two runs)\n",
                        qPrintable(QString::fromUtf8(t.name).leftJustified(22)), b.name, s.min,
                        s.median, s.max, f.latencyMs.size(), f.capped, f.notRunning);
            if (!f.pulseMs.empty()) {
                const bench::Spread p = bench::spread(f.pulseMs);
                std::printf("  %-22s        %-18s pulse on the wire (switch-on to switch-off) "
                            "%.1f / %.1f / %.1f ms (set: %d ms)\n",
                            "", "", p.min, p.median, p.max, settings.actuationMs);
                bench::summary(std::string("watchdog pulse on the wire during ") + b.name,
                               "(figure; set " + std::to_string(settings.actuationMs) + " ms)", p,
                               "ms", bench::Judge::None, 0);
            }
            bench::summary(std::string("first byte after ") + t.name + " during " + b.name,
                           "<= 100 ms (median and worst)", s, "ms", bench::Judge::MedianAndMax,
                           100);
        }
    }
    // Every watchdog sample must have been an outage that pulsed: one switch-on and one
    // switch-off each.
    const std::size_t tasks = outputTasks.size() - pulsesBefore;
    std::printf("watchdog: %d outages, %zu output tasks written (%s)\n", pulsesWanted, tasks,
                tasks == std::size_t(2 * pulsesWanted) ? "one pulse each"
                                                       : "NOT one pulse per outage");
    if (verbose) {
        for (const QString &line : watchdog.log().lines())
            std::printf("    log: %s\n", qPrintable(line));
    }
    watchdog.watchingToggled(false);
    bench::spinUntil([&] { return !w.dm.isBusy(); }, 5000);
    return 0;
}

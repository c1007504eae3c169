// The full event-log read of 16384 records against the simulated controller:
// (a) with no added latency, what the program itself spends per record;
// (b) with 1 ms per reply, the whole read against the link's floor (16384 times
//     the simulated round trip);
// and in both, the longest time the event loop went without running a timer.
#include "link/data_module.h"
#include "link/protocol.h"
#include "log/log_transfer.h"
#include "pinned_cpu.h"
#include "sim/scenarios.h"
#include "sim/sim_transport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace vardex;

namespace {

struct Rig {
    explicit Rig(int latencyMs, sim::Firmware firmware)
    {
        sim::SimDeviceOptions options;
        options.latencyMs = latencyMs;
        options.realTime = false;
        options.firmware = std::move(firmware);
        id = transport.addDevice(std::move(options));
        transport.plug(id);
        transport.start();
        QElapsedTimer t;
        t.start();
        while (!dm.hasDevice() && t.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    sim::SimTransport transport;
    link::DataModule dm{transport};
    QString id;
};

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Longest gap between ticks of a 2 ms timer while the read runs.
struct StallMeter {
    StallMeter()
    {
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            const qint64 now = clock.nsecsElapsed();
            if (last > 0)
                longestNs = std::max(longestNs, now - last);
            last = now;
        });
        clock.start();
        timer.start(2);
    }
    QTimer timer;
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longestNs = 0;
};

struct ReadFigures {
    double totalMs = 0;
    double medianRecordUs = 0;
    double stallMs = 0;
    int read = 0;
    int missing = 0;
};

ReadFigures fullRead(Rig &rig)
{
    log::RecordStore store;
    ReadFigures f;
    std::vector<double> perRecordUs;
    perRecordUs.reserve(log::RecordStore::kSlots);
    QElapsedTimer clock;
    qint64 previous = 0;
    log::FullReadObserver observer;
    observer.started = [&](int) { previous = clock.nsecsElapsed(); };
    observer.recordStored = [&](int, const log::LogRecord &) {
        const qint64 now = clock.nsecsElapsed();
        perRecordUs.push_back((now - previous) / 1000.0);
        previous = now;
    };
    StallMeter stall;
    clock.start();
    rig.dm.runOperation([&](link::OperationContext &ctx) {
        const auto result = log::readFullLog(ctx, store, {}, observer);
        f.read = result.read;
        f.missing = static_cast<int>(result.missing.size());
    });
    f.totalMs = clock.nsecsElapsed() / 1e6;
    f.medianRecordUs = median(perRecordUs);
    f.stallMs = stall.longestNs / 1e6;
    return f;
}

// The round trip of one record request and both its reports through the same link.
double roundTripMs(Rig &rig, int samples)
{
    std::vector<double> ms;
    rig.dm.runOperation([&](link::OperationContext &ctx) {
        QElapsedTimer t;
        for (int i = 0; i < samples; ++i) {
            t.start();
            ctx.send(link::protocol::readLogRecord(1));
            ctx.waitReply(1000);
            ctx.waitNextReport(1000);
            ms.push_back(t.nsecsElapsed() / 1e6);
        }
    });
    return median(ms);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const sim::Firmware firmware = sim::controllerWithFullLog();

    // Pinned, the figure is the program's own cost per record; unpinned, it is
    // dominated by the wake-ups of the reader thread on another CPU.
    for (const bool pin : {true, false}) {
        bench::PinnedToOneCpu pinned(pin);
        Rig rig(0, firmware);
        const ReadFigures f = fullRead(rig);
        std::printf("(a) no added latency, %s: %d records in %.1f ms, median %.1f us per "
                    "record (goal <= 30 pinned), longest event-loop stall %.1f ms (goal < 50)\n",
                    pinned.pinned() ? "pinned to one CPU" : "unpinned", f.read, f.totalMs,
                    f.medianRecordUs, f.stallMs);
    }
    {
        Rig rig(1, firmware);
        const double rtt = roundTripMs(rig, 200);
        const ReadFigures f = fullRead(rig);
        const double floorMs = log::RecordStore::kSlots * rtt;
        std::printf("(b) 1 ms per reply: %d records in %.0f ms; round trip %.3f ms, link floor "
                    "%.0f ms, ratio %.3f (goal <= 1.05); median record %.3f ms (%.3f of the "
                    "round trip); longest event-loop stall %.1f ms (goal < 50), missing %d\n",
                    f.read, f.totalMs, rtt, floorMs, f.totalMs / floorMs, f.medianRecordUs / 1000.0,
                    f.medianRecordUs / 1000.0 / rtt, f.stallMs, f.missing);
    }
    return 0;
}

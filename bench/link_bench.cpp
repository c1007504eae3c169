// The program's own cost of the link: one request-reply exchange through the data
// module against a simulated controller that answers at once (pinned to one CPU and
// unpinned), and the CPU the wait burns while a silent controller keeps it waiting.
#include "link/data_module.h"
#include "pinned_cpu.h"
#include "sim/scenarios.h"
#include "sim/sim_transport.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <benchmark/benchmark.h>
#include <sched.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace vardex;

namespace {

link::ReplyOutcome acceptState(const link::Payload &reply, link::DeviceImage &)
{
    return reply[link::pos::Code] == 2 ? link::ReplyOutcome::Accepted : link::ReplyOutcome::Ignored;
}

const link::ReplyTable &stateTable()
{
    static const link::ReplyTable table = [] {
        link::ReplyTable t{};
        t[2] = &acceptState;
        return t;
    }();
    return table;
}

struct Rig {
    explicit Rig(int latencyMs)
    {
        sim::SimDeviceOptions options;
        options.latencyMs = latencyMs;
        options.realTime = false;
        options.firmware = sim::fullControllerFirmware24();
        id = transport.addDevice(std::move(options));
        dm.setReplyTable(&stateTable());
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

double processCpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    const auto i = static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

// A ReadState sub-code 0 request and its 57-byte reply, zero latency. Pinned (argument
// 1): both threads share one CPU, so the figure is the program's own cost, and the
// 20 us median goal applies to it. Unpinned (0): the two cross-thread wake-ups on idle
// CPUs dominate; that is the figure to bring down next.
void BM_StateExchange(benchmark::State &state)
{
    bench::PinnedToOneCpu pin(state.range(0) != 0);
    if (state.range(0) != 0 && !pin.pinned()) {
        state.SkipWithError("cannot pin to one CPU");
        return;
    }
    Rig rig(0);
    if (!rig.dm.hasDevice()) {
        state.SkipWithError("no simulated device");
        return;
    }
    link::Payload request{};
    request[link::pos::Code] = 2;
    std::vector<double> micros;
    micros.reserve(static_cast<std::size_t>(state.max_iterations));
    int missed = 0;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        rig.dm.send(request);
        if (!rig.dm.waitReply(1000))
            ++missed;
        micros.push_back(static_cast<double>(t.nsecsElapsed()) / 1000.0);
    }
    const double median = percentile(micros, 0.5);
    const double p99 = percentile(micros, 0.99);
    state.counters["median_us"] = median;
    state.counters["p99_us"] = p99;
    state.counters["missed"] = missed;
    const QByteArray how = pin.pinned() ? QStringLiteral("pinned to CPU %1").arg(pin.cpu()).toUtf8()
                                        : QByteArrayLiteral("unpinned");
    std::printf("exchange (%s): %zu exchanges, median %.1f us, p99 %.1f us, missed %d%s\n",
                how.constData(), micros.size(), median, p99, missed,
                pin.pinned() ? " (goal: median at most 20 us)" : "");
}
BENCHMARK(BM_StateExchange)
    ->ArgName("pinned")
    ->Arg(1)
    ->Arg(0)
    ->Iterations(20000)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

// Waiting 5 s on a controller that never answers.
void BM_SilentWaitCpu(benchmark::State &state)
{
    Rig rig(0);
    if (!rig.dm.hasDevice()) {
        state.SkipWithError("no simulated device");
        return;
    }
    link::Payload request{};
    request[link::pos::Code] = 2;
    double cpu = 0;
    double wall = 0;
    for (auto _ : state) {
        rig.transport.addFault(rig.id, {sim::Fault::Kind::Drop});
        const double before = processCpuSeconds();
        QElapsedTimer t;
        t.start();
        rig.dm.send(request);
        const bool got = rig.dm.waitReply(5000);
        wall = static_cast<double>(t.elapsed()) / 1000.0;
        cpu = processCpuSeconds() - before;
        if (got)
            state.SkipWithError("a silent device answered");
    }
    state.counters["cpu_ms"] = cpu * 1000.0;
    state.counters["wall_s"] = wall;
    std::printf("silent wait: %.3f s wall, %.2f ms process CPU (%.3f%%)\n", wall, cpu * 1000.0,
                100.0 * cpu / std::max(wall, 1e-9));
}
BENCHMARK(BM_SilentWaitCpu)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// Start-up of `vardex` and `vardex-demo`: from the fork to the main window mapped on the
// X server (a MapNotify on the root window), and the CPU time the child spent until
// then (every thread, from /proc/<pid>/task/*/schedstat, in nanoseconds). The two
// programs alternate, several runs each; each child is ended once its window maps.
// Needs an X server ($DISPLAY): scripts/bench.sh runs it under xvfb-run.
//   vardex_startup_bench [runs=9]
#include "summary.h"

#include <xcb/xcb.h>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

using namespace vardex;

namespace {

double nowMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// CPU time of every thread still alive in the process, in milliseconds.
double childCpuMs(pid_t pid)
{
    const std::string dir = "/proc/" + std::to_string(pid) + "/task";
    DIR *d = opendir(dir.c_str());
    if (!d)
        return -1;
    double ns = 0;
    while (const dirent *e = readdir(d)) {
        if (e->d_name[0] == '.')
            continue;
        std::ifstream in(dir + "/" + e->d_name + "/schedstat");
        double onCpu = 0;
        if (in >> onCpu)
            ns += onCpu;
    }
    closedir(d);
    return ns / 1e6;
}

struct Start {
    double wallMs = -1;
    double cpuMs = -1;
};

Start startOnce(xcb_connection_t *x, const std::string &program)
{
    // Whatever is still queued belongs to an earlier child.
    while (xcb_generic_event_t *e = xcb_poll_for_event(x))
        std::free(e);
    const double t0 = nowMs();
    const pid_t pid = fork();
    if (pid == 0) {
        unsetenv("QT_QPA_PLATFORM"); // the real platform: the window maps on the X server
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execl(program.c_str(), program.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    Start s;
    pollfd p{xcb_get_file_descriptor(x), POLLIN, 0};
    while (nowMs() - t0 < 15000) {
        xcb_generic_event_t *e = xcb_poll_for_event(x);
        if (!e) {
            poll(&p, 1, 5);
            continue;
        }
        const bool mapped = (e->response_type & 0x7f) == XCB_MAP_NOTIFY &&
                            !reinterpret_cast<xcb_map_notify_event_t *>(e)->override_redirect;
        std::free(e);
        if (mapped) {
            s.wallMs = nowMs() - t0;
            s.cpuMs = childCpuMs(pid);
            break;
        }
    }
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    return s;
}

} // namespace

int main(int argc, char **argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    const std::string bin = VARDEX_BIN_DIR;
    int screenNumber = 0;
    xcb_connection_t *x = xcb_connect(nullptr, &screenNumber);
    if (!x || xcb_connection_has_error(x)) {
        std::printf("start-up: no X server ($DISPLAY), not measured\n");
        bench::summaryNotMeasured("demo start-up minus vardex start-up", "needs an X server");
        return 0;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(x));
    for (int i = 0; i < screenNumber; ++i)
        xcb_screen_next(&it);
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(x, it.data->root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(x);

    std::vector<double> wall[2], cpu[2], wallDiff, cpuDiff;
    const char *names[2] = {"vardex", "vardex-demo"};
    // One start of each first, unmeasured: the first start reads the libraries from disk.
    for (int run = -1; run < runs; ++run) {
        Start s[2];
        for (int i = 0; i < 2; ++i) {
            s[i] = startOnce(x, bin + "/" + names[i]);
            usleep(200000);
        }
        if (run < 0)
            continue;
        if (s[0].wallMs < 0 || s[1].wallMs < 0) {
            std::printf("  run %d: a window did not map within 15 s\n", run + 1);
            continue;
        }
        for (int i = 0; i < 2; ++i) {
            wall[i].push_back(s[i].wallMs);
            cpu[i].push_back(s[i].cpuMs);
        }
        wallDiff.push_back(s[1].wallMs - s[0].wallMs);
        cpuDiff.push_back(s[1].cpuMs - s[0].cpuMs);
    }
    xcb_disconnect(x);
    if (wallDiff.empty()) {
        bench::summaryNotMeasured("demo start-up minus vardex start-up", "no window mapped");
        return 1;
    }
    std::printf("from fork to the main window mapped, %zu runs each (min / median / max):\n",
                wallDiff.size());
    for (int i = 0; i < 2; ++i) {
        const bench::Spread w = bench::spread(wall[i]);
        const bench::Spread c = bench::spread(cpu[i]);
        std::printf("  %-12s wall %5.1f / %5.1f / %5.1f ms   CPU %5.1f / %5.1f / %5.1f ms\n",
                    names[i], w.min, w.median, w.max, c.min, c.median, c.max);
    }
    const bench::Spread dw = bench::spread(wallDiff);
    const bench::Spread dc = bench::spread(cpuDiff);
    std::printf("  demo - vardex, run by run: wall %+.1f / %+.1f / %+.1f ms, CPU %+.1f / %+.1f / "
                "%+.1f ms (goal: at most 10 ms)\n",
                dw.min, dw.median, dw.max, dc.min, dc.median, dc.max);
    bench::summary("demo start-up minus vardex, wall to mapped window", "<= 10 ms (median)", dw,
                   "ms", bench::Judge::Median, 10);
    bench::summary("demo start-up minus vardex, CPU to mapped window", "<= 10 ms (median)", dc,
                   "ms", bench::Judge::Median, 10);
    return 0;
}

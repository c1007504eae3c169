#pragma once

// What every benchmark reports for scripts/bench.sh's closing table: one line per goal,
//   SUMMARY|<goal>|<target>|<min>|<median>|<max>|<unit>|<met: yes, no or ->
// read by the script and nowhere else. The figures before it are the bench's own account.

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace vardex::bench {

struct Spread {
    double min = 0;
    double median = 0;
    double max = 0;
};

inline Spread spread(std::vector<double> v)
{
    if (v.empty())
        return {};
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    const double median = n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    return {v.front(), median, v.back()};
}

// Which of the figures a goal is judged on.
enum class Judge { Median, Max, MedianAndMax, None };

// A goal met when the judged figure is at most `limit` (or, with `atLeast`, at least it).
inline void summary(const std::string &goal, const std::string &target, const Spread &s,
                    const char *unit, Judge judge, double limit, bool atLeast = false)
{
    auto ok = [&](double v) { return atLeast ? v >= limit : v <= limit; };
    const char *met = "-";
    switch (judge) {
    case Judge::Median:
        met = ok(s.median) ? "yes" : "no";
        break;
    case Judge::Max:
        met = ok(s.max) ? "yes" : "no";
        break;
    case Judge::MedianAndMax:
        met = ok(s.median) && ok(s.max) ? "yes" : "no";
        break;
    case Judge::None:
        break;
    }
    std::printf("SUMMARY|%s|%s|%.4g|%.4g|%.4g|%s|%s\n", goal.c_str(), target.c_str(), s.min,
                s.median, s.max, unit, met);
    std::fflush(stdout);
}

// A goal the bench could not measure this time (say why in the target column).
inline void summaryNotMeasured(const std::string &goal, const std::string &why)
{
    std::printf("SUMMARY|%s|%s|-|-|-||not measured\n", goal.c_str(), why.c_str());
    std::fflush(stdout);
}

// CPU time of the whole process (every thread), in milliseconds: on a machine shared
// with other work, wall time says more about the neighbours than about the program.
inline double processCpuMs()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec)) * 1e3 +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

// CPU time of the calling thread only, in milliseconds.
inline double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

} // namespace vardex::bench

#pragma once
// Small helpers shared by the benchmarks: time a callable repeatedly and report medians.
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace bench {

// Runs fn `runs` times and returns the median wall time in milliseconds.
template <typename Fn>
double medianMs(int runs, Fn &&fn)
{
    std::vector<double> times;
    times.reserve(runs);
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        fn();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

inline void figure(const char *name, double value, const char *unit, int runs)
{
    std::printf("%s: %.3f %s (median of %d runs)\n", name, value, unit, runs);
}

inline void ratio(const char *name, double value)
{
    std::printf("ratio %s: %.2f\n", name, value);
}

} // namespace bench

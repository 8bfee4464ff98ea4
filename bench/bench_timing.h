#pragma once

#include <QElapsedTimer>

#include <algorithm>
#include <functional>

namespace korvane::bench {

// Best per-iteration time in microseconds over `rounds` rounds of `iterations` calls, after one
// call to warm caches and lazy initialisation.
inline double bestMicros(int iterations, const std::function<void()> &work, int rounds = 5)
{
    work();
    double best = 1e300;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < iterations; ++i)
            work();
        best = std::min(best, double(timer.nsecsElapsed()) / 1000.0 / iterations);
    }
    return best;
}

// Best time in milliseconds of `runs` single calls (for work that takes milliseconds itself).
inline double bestMillis(int runs, const std::function<void()> &work)
{
    double best = 1e300;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        work();
        best = std::min(best, double(timer.nsecsElapsed()) / 1e6);
    }
    return best;
}

} // namespace korvane::bench

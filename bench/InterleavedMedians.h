#pragma once

#include <QElapsedTimer>

#include <algorithm>
#include <ctime>
#include <functional>
#include <vector>

// Median nanoseconds per call of ours and of a baseline: `rounds` rounds of
// `iterations` calls each, after `warmups` calls of each. Their rounds
// alternate (and which side goes first alternates too), so caches, clocks
// and neighbours on the machine weigh on both alike.
struct Medians {
    double ours;
    double base;
};

// Nanoseconds a call by some clock: the wall clock, or the process's
// processor time where other work on the machine would weigh on the wall.
using CallTimer = std::function<double(const std::function<void()>& work, int iterations)>;

inline double wallNanosPerCall(const std::function<void()>& work, int iterations)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < iterations; ++i)
        work();
    return double(timer.nsecsElapsed()) / iterations;
}

inline double processorNanosPerCall(const std::function<void()>& work, int iterations)
{
    const std::clock_t start = std::clock();
    for (int i = 0; i < iterations; ++i)
        work();
    return double(std::clock() - start) / CLOCKS_PER_SEC * 1e9 / iterations;
}

inline Medians interleavedMedians(const std::function<void()>& ours, const std::function<void()>& base, int rounds,
                                  int iterations, int warmups, const CallTimer& clock = wallNanosPerCall)
{
    for (int i = 0; i < warmups; ++i) {
        ours();
        base();
    }
    const auto timed = [&](const std::function<void()>& work) { return clock(work, iterations); };
    std::vector<double> a;
    std::vector<double> b;
    for (int r = 0; r < rounds; ++r) {
        if (r % 2 == 0) {
            a.push_back(timed(ours));
            b.push_back(timed(base));
        } else {
            b.push_back(timed(base));
            a.push_back(timed(ours));
        }
    }
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    return {a[a.size() / 2], b[b.size() / 2]};
}

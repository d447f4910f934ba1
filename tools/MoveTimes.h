#pragma once
// What the network benchmarks share: a list of move times (ms) summed up
// as median, p90, p99 and worst, and waiting on the event loop.

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

// The value below which the share p of the times lie (the nearest rank).
inline double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))];
}

inline void Report(const char* who, const std::vector<double>& v) {
    std::printf("%-9s %6zu moves  median %.3f ms  p90 %.3f ms  p99 %.3f ms  worst %.3f ms\n", who,
                v.size(), Percentile(v, 0.5), Percentile(v, 0.9), Percentile(v, 0.99),
                v.empty() ? 0.0 : *std::max_element(v.begin(), v.end()));
}

// Handles events until ready() or ms have passed.
template <typename TReady> bool Until(TReady ready, int ms) {
    QElapsedTimer t;
    t.start();
    while (!ready()) {
        if (t.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

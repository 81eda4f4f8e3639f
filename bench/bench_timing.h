// SPDX-License-Identifier: MIT
#pragma once
// Timing helpers for the benchmarks: the machine is shared, so each figure is the median of runs.

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

namespace coffer::bench {

inline double Seconds(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

inline double Median(std::vector<double> values) {
    std::ranges::sort(values);
    return values[values.size() / 2];
}

} // namespace coffer::bench

// SPDX-License-Identifier: MIT
#pragma once
// Measuring helpers for the benchmarks: times (the machine is shared, so each figure is the median of
// runs), memory, and the lines that print the figures.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
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

// The process's peak resident memory so far.
inline long PeakKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The process's resident memory now.
inline long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.starts_with("VmRSS:"))
            return std::stol(line.substr(6));
    return 0;
}

// A program run to its end as a user runs it: its time and its peak resident memory.
struct ProcessRun {
    double seconds = 0;
    double peakMib = 0;
};

// Runs the program with these arguments and waits for it; one that fails is an error.
inline ProcessRun RunProcess(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error(arguments[0] + " failed");
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
            static_cast<double>(usage.ru_maxrss) / 1024};
}

// A figure's line: what was measured, the figure with `decimals` digits after the point, its unit and
// its goal, in columns.
inline void Row(const std::string& work, double figure, const char* unit, const char* goal, int decimals = 1) {
    std::printf("  %-52s %8.*f %-9s goal %s\n", work.c_str(), decimals, figure, unit, goal);
}

} // namespace coffer::bench

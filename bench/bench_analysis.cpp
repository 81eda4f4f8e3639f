// Analysis plus report of generated bank logs, lookup off: time, growth from 100,000 to 1,000,000
// entries, and peak memory against the size of the log text. Each measurement runs in a fresh
// process so that its peak memory is its own.
#include "analysis/analysis_run.h"
#include "banklog_generator.h"
#include "report/report_file.h"

#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

namespace {
namespace fs = std::filesystem;

struct Measurement {
    double seconds = 0;
    long peakKiB = 0;
    std::size_t members = 0, items = 0;
};

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Child: read the log, analyse it and write the report; print one line of figures.
int MeasureOnce(const fs::path& log, const fs::path& folder) {
    std::string text;
    text.resize(fs::file_size(log));
    std::ifstream(log, std::ios::binary).read(text.data(), static_cast<std::streamsize>(text.size()));

    coffer::GuildStats stats;
    coffer::ReportSettings settings{10, 25, "http://armory.example", "http://www.lorehold.example", "Coffer",
                                    "coffer.example", "today"};
    coffer::AnalysisHooks hooks;
    hooks.generateReport = [&]() { return coffer::GenerateReport(stats, settings, folder / "report.html"); };
    const double cpuBefore = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    // The phases end with the status texts; their times go to standard error.
    hooks.showStatus = [&](const std::string& status) {
        const std::chrono::duration<double> at = std::chrono::steady_clock::now() - start;
        std::fprintf(stderr, "  %7.3f s  %s\n", at.count(), status.c_str());
    };
    const coffer::AnalysisResult result = coffer::RunAnalysis(text, stats, folder, hooks);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    std::fprintf(stderr, "  processor time %.3f s\n", CpuSeconds() - cpuBefore);
    if (result.outcome != coffer::AnalysisOutcome::Complete) {
        std::cerr << result.message << '\n';
        return 1;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%.6f %ld %zu %zu\n", elapsed.count(), usage.ru_maxrss, stats.members.rowCount(),
                stats.items.rowCount());
    return 0;
}

Measurement Measure(const fs::path& log, const fs::path& folder) {
    const std::string command = fs::read_symlink("/proc/self/exe").string() + " --measure " + log.string() + " " +
                                folder.string();
    FILE* child = popen(command.c_str(), "r");
    Measurement m;
    if (child == nullptr || std::fscanf(child, "%lf %ld %zu %zu", &m.seconds, &m.peakKiB, &m.members, &m.items) != 4) {
        std::cerr << "measurement failed\n";
        std::exit(1);
    }
    pclose(child);
    return m;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--measure")
        return MeasureOnce(argv[2], argv[3]);

    const fs::path folder = fs::temp_directory_path() / ("coffer-bench-" + std::to_string(getpid()));
    fs::create_directories(folder);
    const int runs = argc > 1 ? std::atoi(argv[1]) : 3;
    double best[2] = {0, 0};
    std::printf("%10s %10s %8s %9s %9s %12s %9s\n", "entries", "log MiB", "members", "items", "best s", "peak MiB",
                "peak/log");
    const std::size_t sizes[] = {100'000, 1'000'000};
    for (int i = 0; i < 2; ++i) {
        const fs::path log = folder / ("log-" + std::to_string(sizes[i]) + ".xml");
        {
            std::ofstream out(log, std::ios::binary);
            coffer::bench::BankLogGeneratorOptions options;
            options.entry_count = sizes[i];
            coffer::bench::WriteBankLog(out, options);
        }
        const double logMiB = static_cast<double>(fs::file_size(log)) / (1 << 20);
        Measurement bestRun;
        for (int run = 0; run < runs; ++run) {
            const Measurement m = Measure(log, folder);
            if (run == 0 || m.seconds < bestRun.seconds)
                bestRun = m;
        }
        best[i] = bestRun.seconds;
        const double peakMiB = static_cast<double>(bestRun.peakKiB) / 1024;
        std::printf("%10zu %10.1f %8zu %9zu %9.3f %12.1f %9.2f\n", sizes[i], logMiB, bestRun.members, bestRun.items,
                    bestRun.seconds, peakMiB, peakMiB / logMiB);
        fs::remove(log);
    }
    std::printf("growth for 10x the entries: %.2fx (target at most 11x); 1,000,000 entries in %.3f s (target at "
                "most 2 s)\n",
                best[1] / best[0], best[1]);
    fs::remove_all(folder);
    return 0;
}

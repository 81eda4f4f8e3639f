// SPDX-License-Identifier: MIT
// Analysis plus report of generated bank logs, lookup off: for 100,000 and 1,000,000 entries the time
// of each stage, the whole run, its peak memory against the size of the log text, and the run against
// `wc -l` reading the same file. Each measurement runs in a fresh process so that its peak memory is
// its own, and each figure is the median of several runs: the machine is shared. Then the peak memory
// of a crafted log, 30 MB of members on short lines who each appear once, against the most a run may
// take: three times the log and 64 MiB.
//
//   bench_analysis [RUNS]   (default 3)
#include "analysis/analysis_run.h"
#include "analysis/scan/bank_log_scanner.h"
#include "analysis/scan/line_reader.h"
#include "analysis/scan/mapped_file.h"
#include "bench_report_settings.h"
#include "bench_timing.h"
#include "genlog/banklog_generator.h"
#include "report/report_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using coffer::bench::BenchReportSettings;
using coffer::bench::Median;
using coffer::bench::PeakKiB;

// The stages as the run goes through them; scan and totals overlap in a run (two threads), so
// the stage figures come from a separate process that runs them one after the other.
enum Stage { kRead, kTempCopy, kScan, kTotals, kFinalPass, kReport, kStageCount };
constexpr std::array<const char*, kStageCount> kStageNames = {"read",   "temp copy",  "scan",
                                                              "totals", "final pass", "report"};

double Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Child: the whole run as the command line makes it (map the file, analyse, write the report).
// Prints the seconds taken and the peak memory in KiB.
int MeasureRun(const fs::path& log, const fs::path& folder) {
    const auto start = Clock::now();
    const coffer::MappedFile file(log);
    const std::string_view text = file.text();
    coffer::GuildStats stats;
    const coffer::ReportSettings settings = BenchReportSettings();
    coffer::AnalysisHooks hooks;
    hooks.generateReport = [&](const coffer::StepProgress& progress) {
        return coffer::GenerateReport(stats, settings, folder / "report.html", progress);
    };
    hooks.copied = [&file](std::uint64_t bytes) { file.release(static_cast<std::size_t>(bytes)); }; // as coffer-cli
    const coffer::AnalysisResult result = coffer::RunAnalysis(text, stats, folder, hooks);
    const double seconds = Since(start);
    if (result.outcome != coffer::AnalysisOutcome::Complete) {
        std::cerr << result.message << '\n';
        return 1;
    }
    std::printf("%.6f %ld %zu %zu\n", seconds, PeakKiB(), stats.members.rowCount(), stats.items.rowCount());
    return 0;
}

// Scans the file at `path` once, handing every entry to `onEntry`.
template <typename Handler> void ScanFile(const fs::path& path, Handler onEntry) {
    std::ifstream in(path, std::ios::binary);
    coffer::LineReader lines(in);
    coffer::GuildIdentity guild;
    coffer::ScanBankLog(lines, guild, onEntry, {});
}

// Child: the stages one after the other. The scan is timed alone, then again with the totals; the
// totals are the difference. Prints one figure per stage.
int MeasureStages(const fs::path& log, const fs::path& folder) {
    std::array<double, kStageCount> seconds{};
    auto start = Clock::now();
    const coffer::MappedFile file(log);
    const std::string_view text = file.text();
    seconds[kRead] = Since(start);

    const fs::path copy = folder / "stage-copy.txt";
    start = Clock::now();
    {
        const int fd = ::open(copy.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        for (std::size_t done = 0; fd >= 0 && done < text.size();) {
            const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
            if (n <= 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        ::close(fd);
    }
    seconds[kTempCopy] = Since(start);

    start = Clock::now();
    ScanFile(copy, [](coffer::BankLogEntry&) {});
    seconds[kScan] = Since(start);

    coffer::GuildStats stats;
    coffer::MemberTotals members;
    start = Clock::now();
    ScanFile(copy, [&](coffer::BankLogEntry& entry) { coffer::TotalEntry(entry, members, stats.items, nullptr); });
    seconds[kTotals] = std::max(0.0, Since(start) - seconds[kScan]);
    fs::remove(copy);

    start = Clock::now();
    coffer::FinishMemberTable(std::move(members), stats.members);
    seconds[kFinalPass] = Since(start);

    start = Clock::now();
    if (const std::string error = coffer::GenerateReport(stats, BenchReportSettings(), folder / "report.html");
        !error.empty()) {
        std::cerr << error << '\n';
        return 1;
    }
    seconds[kReport] = Since(start);
    for (const double s : seconds)
        std::printf("%.6f\n", s);
    return 0;
}

FILE* Child(const std::string& mode, const fs::path& log, const fs::path& folder) {
    const std::string command =
        fs::read_symlink("/proc/self/exe").string() + " " + mode + " " + log.string() + " " + folder.string();
    return popen(command.c_str(), "r");
}

[[noreturn]] void Fail(const char* what) {
    std::cerr << what << " failed\n";
    std::exit(1);
}

double WcSeconds(const fs::path& log) {
    const std::string command = "wc -l " + log.string() + " > /dev/null";
    const auto start = Clock::now();
    if (std::system(command.c_str()) != 0)
        Fail("wc -l");
    return Since(start);
}

struct Figures {
    std::vector<double> total, wc;
    std::vector<long> peakKiB;
    std::array<std::vector<double>, kStageCount> stages;
    std::size_t members = 0, items = 0;
};

Figures MeasureLog(const fs::path& log, const fs::path& folder, int runs) {
    Figures f;
    for (int run = 0; run < runs; ++run) {
        double seconds = 0;
        long peak = 0;
        FILE* child = Child("--run", log, folder);
        if (child == nullptr || std::fscanf(child, "%lf %ld %zu %zu", &seconds, &peak, &f.members, &f.items) != 4)
            Fail("measuring the run");
        pclose(child);
        f.total.push_back(seconds);
        f.peakKiB.push_back(peak);

        child = Child("--stages", log, folder);
        if (child == nullptr)
            Fail("measuring the stages");
        for (auto& stage : f.stages) {
            if (std::fscanf(child, "%lf", &seconds) != 1)
                Fail("measuring the stages");
            stage.push_back(seconds);
        }
        pclose(child);
        f.wc.push_back(WcSeconds(log));
    }
    return f;
}

// A log of `bytes` or a little more: one gold deposit line for each of as many members as fit, each of
// a different amount, so that the amount columns hold as many texts as there are members, on pages of
// 500, so that every element is kept to be compared with the later pages.
void WriteManyMembersLog(const fs::path& log, std::size_t bytes) {
    std::ofstream out(log, std::ios::binary);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<guildKey name=\"Crafted\" realm=\"Test\"/>\n";
    for (std::size_t member = 0; out.tellp() < static_cast<std::streamoff>(bytes); ++member) {
        if (member > 0 && member % 500 == 0)
            out << "<?xml version=\"1.0\"?>\n";
        out << "<banklog money=\"" << (member + 1) * 10000 << "\" player=\"P" << member << "\" type=\"4\"/>\n";
    }
}

void MeasureCraftedLog(const fs::path& folder, int runs) {
    const fs::path log = folder / "many-members.xml";
    WriteManyMembersLog(log, 30'000'000);
    const double logMiB = static_cast<double>(fs::file_size(log)) / (1 << 20);
    std::vector<double> peaks;
    std::size_t members = 0, items = 0;
    for (int run = 0; run < runs; ++run) {
        double seconds = 0;
        long peak = 0;
        FILE* child = Child("--run", log, folder);
        if (child == nullptr || std::fscanf(child, "%lf %ld %zu %zu", &seconds, &peak, &members, &items) != 4)
            Fail("measuring the crafted log");
        pclose(child);
        peaks.push_back(static_cast<double>(peak));
    }
    std::printf("\ncrafted log of %zu members on short lines, each depositing a different amount, on pages "
                "of 500, %.1f MiB: peak %.1f MiB, limit %.1f MiB (3x the log + 64 MiB)\n",
                members, logMiB, Median(peaks) / 1024, 3 * logMiB + 64);
    fs::remove(log);
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--run")
        return MeasureRun(argv[2], argv[3]);
    if (argc == 4 && std::string(argv[1]) == "--stages")
        return MeasureStages(argv[2], argv[3]);

    const fs::path folder = fs::temp_directory_path() / ("coffer-bench-" + std::to_string(getpid()));
    fs::create_directories(folder);
    const int runs = std::max(1, argc > 1 ? std::atoi(argv[1]) : 3);
    std::printf("medians of %d runs, each in a fresh process; the machine is shared, so figures vary\n", runs);
    std::printf("stages run one after the other; the run overlaps the scan and the totals on two threads\n\n");
    std::printf("%9s %8s %7s %7s", "entries", "log MiB", "members", "items");
    for (const char* name : kStageNames)
        std::printf(" %10s", name);
    std::printf(" %8s %8s %8s %8s %8s\n", "run s", "peak MiB", "peak/log", "wc -l s", "run/wc");
    double totals[2] = {0, 0};
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
        const Figures f = MeasureLog(log, folder, runs);
        std::vector<double> peaks(f.peakKiB.begin(), f.peakKiB.end());
        const double peakMiB = Median(peaks) / 1024;
        totals[i] = Median(f.total);
        std::printf("%9zu %8.1f %7zu %7zu", sizes[i], logMiB, f.members, f.items);
        for (const auto& stage : f.stages)
            std::printf(" %10.3f", Median(stage));
        std::printf(" %8.3f %8.1f %8.2f %8.3f %8.1f\n", totals[i], peakMiB, peakMiB / logMiB, Median(f.wc),
                    totals[i] / Median(f.wc));
        fs::remove(log);
    }
    std::printf("\ngrowth for 10x the entries: %.2fx; 1,000,000 entries in %.3f s\n", totals[1] / totals[0], totals[1]);
    MeasureCraftedLog(folder, runs);
    fs::remove_all(folder);
    return 0;
}

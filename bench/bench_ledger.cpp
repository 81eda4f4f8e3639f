// SPDX-License-Identifier: MIT
// The guild ledger against its speed goals, each figure printed beside its goal:
//   - a generated paste of 100,000 entries added to an empty ledger by coffer-cli, then added again, with
//     the process's peak memory, and the same adds in process by phase;
//   - a ledger of 1,000,000 entries over a year, built (untimed) from shuffled overlapping pastes of a
//     generated log: one week and everything analysed from it with the report written, everything
//     against the same log analysed from its file as coffer-cli does it; and its opening for reading, with
//     the checks of its header, marks and schema before and after the real open;
//   - each ledger's size, its -wal and -shm files included, once it is closed, against its log text;
//   - the alert rules' cost: the paste added with one rule of each kind against none, a page of 1,000 new
//     entries added to the year's ledger with them against none, and the check of the rules on its history.
// Medians of several runs, each on a fresh ledger or a fresh read: the machine is shared.
//
//   bench_ledger [RUNS [paste]]   (default 3; "paste": the paste's figures only)
#include "analysis/analysis_run.h"
#include "analysis/scan/mapped_file.h"
#include "bench_report_settings.h"
#include "bench_timing.h"
#include "genlog/banklog_generator.h"
#include "ledger/ledger_actions.h"
#include "ledger/ledger_file.h"
#include "ledger/sqlite_ledger.h"
#include "report/report_file.h"

#include <tuple>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {
namespace fs = std::filesystem;
using Access = coffer::SqliteDatabase::Access;
using coffer::bench::BenchReportSettings;
using coffer::bench::Median;
using coffer::bench::Row;
using coffer::bench::Seconds;

constexpr std::int64_t kDayMs = 86'400'000;

std::string GeneratedLog(std::size_t entries, std::uint64_t days) {
    coffer::bench::BankLogGeneratorOptions options;
    options.entry_count = entries;
    options.spread_days = days;
    return coffer::bench::GenerateBankLog(options);
}

// The log's pages, each from its "<?xml" line to the next.
std::vector<std::string_view> Pages(std::string_view log) {
    std::vector<std::string_view> pages;
    for (std::size_t start = 0; start < log.size();) {
        const std::size_t next = std::min(log.find("<?xml", start + 1), log.size());
        pages.push_back(log.substr(start, next - start));
        start = next;
    }
    return pages;
}

// Pastes of 2 to 40 consecutive pages that together cover every page, each sharing one page or more
// with the one before, in a shuffled order: as officers paste what the armory shows at different times.
std::vector<std::string> OverlappingPastes(const std::vector<std::string_view>& pages) {
    std::mt19937_64 random(25);
    std::vector<std::string> pastes;
    for (std::size_t first = 0, end = 0; end < pages.size(); first = end - 1 - random() % ((end - first) / 2)) {
        end = std::min<std::size_t>(first + 2 + random() % 39, pages.size());
        std::string& paste = pastes.emplace_back();
        for (std::size_t page = first; page < end; ++page)
            paste += pages[page];
    }
    std::ranges::shuffle(pastes, random);
    return pastes;
}

// Reporting from the ledger as coffer-cli --ledger does it.
void ReportFromLedger(const fs::path& file, const std::optional<coffer::TimeRange>& period, const fs::path& report) {
    coffer::SqliteLedger ledger(file.string(), Access::ReadOnly);
    const coffer::LedgerLog log = coffer::ReadLedgerLog(ledger, period);
    coffer::GuildStats stats;
    coffer::AnalysisHooks hooks;
    hooks.selection.period = period;
    hooks.generateReport = [&](const coffer::StepProgress&) {
        return coffer::GenerateReport(stats, BenchReportSettings(), report);
    };
    coffer::RunAnalysisInPlace(log.text, stats, hooks);
}

// Reporting from a log file as coffer-cli does it.
void ReportFromLog(const fs::path& file, const fs::path& folder) {
    const coffer::MappedFile log(file.string());
    coffer::GuildStats stats;
    coffer::AnalysisHooks hooks;
    hooks.generateReport = [&](const coffer::StepProgress&) {
        return coffer::GenerateReport(stats, BenchReportSettings(), folder / "report.html");
    };
    coffer::RunAnalysis(log.text(), stats, folder, hooks);
}

// The steps of an add as the ledger tells them, and the two the process adds around them.
constexpr const char* kPhaseNames[] = {"open the ledger",
                                       "read and scan the paste",
                                       "held entries out; list columns",
                                       "entries handed over, ledger locked",
                                       "compared with the stored entries",
                                       "names of members and items",
                                       "entries' insert, with their indexes",
                                       "totals and hours",
                                       "paste record and gaps",
                                       "commit",
                                       "close: checkpoint of the log"};
constexpr std::size_t kPhases = std::size(kPhaseNames);

// One add of the file, as coffer-cli makes it, in process: the seconds of each phase, and the resident
// memory at each one's end (in MiB, after the phases' figures).
std::vector<double> AddPhases(const fs::path& ledgerFile, const fs::path& logFile) {
    std::vector<double> phases(2 * kPhases, 0);
    auto mark = std::chrono::steady_clock::now();
    std::size_t phase = 0;
    const auto next = [&](std::size_t to) {
        const auto now = std::chrono::steady_clock::now();
        phases[phase] += std::chrono::duration<double>(now - mark).count();
        phases[kPhases + phase] = static_cast<double>(coffer::bench::ResidentKiB()) / 1024;
        mark = now;
        phase = to;
    };
    {
        coffer::SqliteLedger ledger(ledgerFile.string(), Access::ReadWrite);
        const coffer::MappedFile log(logFile.string());
        coffer::AddWatch watch;
        watch.steps = [&](coffer::AddStep step) { next(1 + static_cast<std::size_t>(step)); };
        std::ignore = coffer::AddToLedger(ledger, log.text(), logFile.string(), 0, watch);
        next(kPhases - 1);
    }
    next(kPhases - 1);
    return phases;
}

void BenchPaste(const fs::path& folder, int runs) {
    const fs::path logFile = folder / "paste.xml";
    double logSize = 0;
    {
        const std::string log = GeneratedLog(100'000, 30);
        std::ofstream(logFile, std::ios::binary) << log;
        logSize = static_cast<double>(log.size());
    }
    std::vector<double> first, again, peak;
    std::vector<std::vector<double>> firstPhases(2 * kPhases), againPhases(2 * kPhases);
    double size = 0;
    for (int run = 0; run < runs; ++run) {
        const fs::path file = folder / ("paste" + std::to_string(run) + ".sqlite");
        const auto add = [&] {
            return coffer::bench::RunProcess(
                {COFFER_CLI_PATH, "--ledger", file.string(), "--add", logFile.string(), "--quiet"});
        };
        const coffer::bench::ProcessRun empty = add();
        first.push_back(empty.seconds);
        peak.push_back(empty.peakMib);
        again.push_back(add().seconds);
        size = static_cast<double>(coffer::LedgerFileSize(file.string()));
        fs::remove(file);
        for (auto* phases : {&firstPhases, &againPhases}) {
            const std::vector<double> figures = AddPhases(file, logFile);
            for (std::size_t figure = 0; figure < figures.size(); ++figure)
                (*phases)[figure].push_back(figures[figure]);
        }
        fs::remove(file);
    }
    std::printf("a paste of 100,000 entries (%.1f MB of log), coffer-cli --add FILE as the user runs it:\n",
                logSize / 1e6);
    Row("add to an empty ledger", Median(first), "s", "<= 0.5 s", 3);
    Row("its peak memory", Median(peak) * 1024 * 1024 / logSize, "x the log", "<= 3 x", 2);
    Row("add the same paste again", Median(again), "s", "<= 0.25 s", 3);
    Row("ledger file size, -wal and -shm included", size / logSize, "x the log", "<= 1.5 x (of a year)", 3);
    // Memory once given back stays with the process: the first run's figures are the ones to read.
    std::printf("  the same adds in process, by phase:    to an empty ledger: ms, MiB at the end   again: ms, MiB\n"
                "  (MiB resident at each phase's end in the first run)\n");
    double firstSum = 0, againSum = 0;
    for (std::size_t phase = 0; phase < kPhases; ++phase) {
        const double a = Median(firstPhases[phase]) * 1000, b = Median(againPhases[phase]) * 1000;
        firstSum += a;
        againSum += b;
        std::printf("    %-40s %8.1f %8.0f %20.1f %8.0f\n", kPhaseNames[phase], a, firstPhases[kPhases + phase][0], b,
                    againPhases[kPhases + phase][0]);
    }
    std::printf("    %-40s %8.1f %29.1f\n", "all (sum of the medians)", firstSum, againSum);
}

// One rule of each kind, in the zone of an officer an hour east of UTC.
void SetRules(coffer::LedgerStore& ledger) {
    for (const char* rule : {"gold withdrawn over 500g a day", "items withdrawn over 100 a week from tab 3",
                             "any withdrawal from tab 5", "withdrawals with no deposit ever", "a gap opened"})
        ledger.addRule(*coffer::ParseAlertRule(rule), "Europe/Berlin");
}
void RemoveRules(coffer::LedgerStore& ledger) {
    for (const coffer::NumberedRule& rule : ledger.rules())
        ledger.removeRule(rule.number);
}

// The paste added in process to an empty ledger, with one rule of each kind and with none.
void BenchRulesOnPaste(const fs::path& folder, int runs) {
    const std::string log = GeneratedLog(100'000, 30);
    std::vector<double> without, with;
    std::size_t fired = 0;
    for (int run = 0; run < runs; ++run)
        for (const bool rules : {false, true}) {
            const fs::path file = folder / ("rules" + std::to_string(2 * run + rules) + ".sqlite");
            {
                coffer::SqliteLedger ledger(file.string(), Access::ReadWrite);
                if (rules)
                    SetRules(ledger);
                (rules ? with : without).push_back(Seconds([&] {
                    fired = coffer::AddToLedger(ledger, log, "", 0).outcome.alerts.size();
                }));
            }
            fs::remove(file);
        }
    std::printf("the alert rules (one of each kind) on the paste of 100,000 entries, added in process:\n");
    Row("add to an empty ledger without rules", Median(without), "s", "", 3);
    Row("with the rules (" + std::to_string(fired) + " alerts)", Median(with), "s", "", 3);
    Row("the rules' cost", (Median(with) / Median(without) - 1) * 100, "%", "<= +10 %", 1);
}

// A page of 1,000 new entries of the ledger's newest day, added with the rules and without; then what the
// rules would fire on the whole ledger.
void BenchRulesOnLedger(const fs::path& file, int runs) {
    std::vector<double> without, with, checked;
    std::size_t wouldFire = 0;
    for (int run = 0; run < runs; ++run)
        for (const bool rules : {false, true}) {
            coffer::SqliteLedger ledger(file.string(), Access::ReadWrite);
            rules ? SetRules(ledger) : RemoveRules(ledger);
            coffer::bench::BankLogGeneratorOptions options;
            options.entry_count = 1000;
            options.spread_days = 1;
            options.seed = 1000 + static_cast<std::uint64_t>(2 * run + rules);
            const std::string page = coffer::bench::GenerateBankLog(options);
            (rules ? with : without).push_back(Seconds([&] {
                std::ignore = coffer::AddToLedger(ledger, page, "", 0);
            }));
        }
    coffer::SqliteLedger ledger(file.string(), Access::ReadOnly);
    for (int run = 0; run < runs; ++run)
        checked.push_back(Seconds([&] { wouldFire = ledger.checkRules(std::nullopt).size(); }));
    std::printf("  the alert rules (one of each kind) on it:\n");
    Row("a page of 1,000 new entries added without rules", Median(without) * 1000, "ms", "", 1);
    Row("the rules' cost on it", (Median(with) - Median(without)) * 1000, "ms", "<= +20 ms", 1);
    Row("the rules checked on its history (" + std::to_string(wouldFire) + " alerts)", Median(checked), "s", "<= 1 s",
        3);
}

void BenchYear(const fs::path& folder, int runs) {
    const fs::path logFile = folder / "year.xml", file = folder / "year.sqlite";
    std::size_t pasteCount = 0;
    double logSize = 0;
    const double building = Seconds([&] {
        const std::string log = GeneratedLog(1'000'000, 365);
        std::ofstream(logFile, std::ios::binary) << log;
        logSize = static_cast<double>(log.size());
        const std::vector<std::string> pastes = OverlappingPastes(Pages(log));
        pasteCount = pastes.size();
        coffer::SqliteLedger ledger(file.string(), Access::ReadWrite);
        for (const std::string& paste : pastes)
            std::ignore = coffer::AddToLedger(ledger, paste, "", 0);
    });
    const double size = static_cast<double>(coffer::LedgerFileSize(file.string()));
    const coffer::LedgerTotals totals = coffer::SqliteLedger(file.string(), Access::ReadOnly).totals();
    const std::uint64_t newest = static_cast<std::uint64_t>(totals.lastTs.value_or(0));
    const coffer::TimeRange week{.first = newest - 7 * kDayMs + 1, .last = newest};

    std::vector<double> opened, weekly, everything, fromLog;
    for (int run = 0; run < 21; ++run)
        opened.push_back(Seconds([&] { coffer::SqliteLedger(file.string(), Access::ReadOnly); }));
    for (int run = 0; run < runs; ++run) {
        weekly.push_back(Seconds([&] { ReportFromLedger(file, week, folder / "week.html"); }));
        everything.push_back(Seconds([&] { ReportFromLedger(file, std::nullopt, folder / "all.html"); }));
        fromLog.push_back(Seconds([&] { ReportFromLog(logFile, folder); }));
    }
    std::printf("a ledger of %llu entries over a year from %zu shuffled overlapping pastes (built in %.0f s):\n",
                static_cast<unsigned long long>(totals.entries), pasteCount, building);
    Row("one week analysed, report written", Median(weekly), "s", "<= 0.3 s", 3);
    Row("opened, its schema checked (twice)", Median(opened) * 1000, "ms", "<= 5 ms", 3);
    std::printf("  %-44s %8.3f s = %.2f x coffer-cli on the log file (%.3f s), goal <= 2 x\n",
                "everything analysed, report written", Median(everything), Median(everything) / Median(fromLog),
                Median(fromLog));
    Row("ledger file size, -wal and -shm included", size / logSize, "x the log", "<= 1.5 x", 3);
    BenchRulesOnLedger(file, runs);
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const fs::path folder = fs::temp_directory_path() / ("coffer-bench-ledger-" + std::to_string(getpid()));
    fs::create_directories(folder);
    std::printf("the guild ledger, medians of %d runs; the machine is shared, so figures vary\n", runs);
    BenchPaste(folder, runs);
    BenchRulesOnPaste(folder, runs);
    if (argc <= 2 || std::string(argv[2]) != "paste")
        BenchYear(folder, runs);
    fs::remove_all(folder);
    return 0;
}

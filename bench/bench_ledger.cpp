// The guild ledger with a generated log of 100,000 entries as one paste: adding it to an empty ledger,
// adding it again (every entry known), the ledger's size against the log text, and the whole log
// analysed from the ledger against the same log analysed as a paste. Medians of several runs, each on
// a fresh ledger: the machine is shared.
//
//   bench_ledger [RUNS]   (default 3)
#include "analysis/analysis_run.h"
#include "banklog_generator.h"
#include "ledger/ledger_actions.h"
#include "ledger/sqlite_ledger.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {
namespace fs = std::filesystem;

double Seconds(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> values) {
    std::ranges::sort(values);
    return values[values.size() / 2];
}

std::uintmax_t SizeWithLogs(const fs::path& file) {
    std::uintmax_t size = 0;
    for (const char* suffix : {"", "-wal", "-shm"}) {
        std::error_code error;
        const auto part = fs::file_size(file.string() + suffix, error);
        size += error ? 0 : part;
    }
    return size;
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    coffer::bench::BankLogGeneratorOptions options;
    options.entry_count = 100'000;
    options.spread_days = 30;
    const std::string log = coffer::bench::GenerateBankLog(options);
    const fs::path folder = fs::temp_directory_path() / ("coffer-bench-ledger-" + std::to_string(getpid()));
    fs::create_directories(folder);

    std::vector<double> first, again, fromLedger, fromLog;
    std::uintmax_t size = 0;
    for (int run = 0; run < runs; ++run) {
        const fs::path file = folder / ("run" + std::to_string(run) + ".sqlite");
        {
            coffer::SqliteLedger ledger(file.string(), coffer::SqliteDatabase::Access::ReadWrite);
            first.push_back(Seconds([&] { coffer::AddToLedger(ledger, log, "log.xml", 0); }));
            again.push_back(Seconds([&] { coffer::AddToLedger(ledger, log, "log.xml", 0); }));
        }
        size = SizeWithLogs(file);
        coffer::GuildStats stats;
        fromLedger.push_back(Seconds([&] {
            coffer::SqliteLedger ledger(file.string(), coffer::SqliteDatabase::Access::ReadOnly);
            coffer::RunAnalysisInPlace(coffer::ReadLedgerLog(ledger, std::nullopt).text, stats, {});
        }));
        fromLog.push_back(Seconds([&] { coffer::RunAnalysis(log, stats, folder, {}); }));
    }
    std::printf("ledger of a 100,000-entry paste (%zu bytes of log), median of %d runs:\n", log.size(), runs);
    std::printf("  add to an empty ledger      %.3f s\n", Median(first));
    std::printf("  add the same paste again    %.3f s\n", Median(again));
    std::printf("  ledger file size            %ju bytes (%.2f x the log)\n", size,
                static_cast<double>(size) / static_cast<double>(log.size()));
    std::printf("  everything analysed         %.3f s from the ledger, %.3f s from the log\n", Median(fromLedger),
                Median(fromLog));
    fs::remove_all(folder);
    return 0;
}

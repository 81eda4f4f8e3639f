// SPDX-License-Identifier: MIT
// The upgrade of a ledger file of an older version, on a ledger of 1,000,000 entries over a year (built
// from a generated log, or the ledger given, built there when missing), brought from version 3 (or the one given) to
// the newest:
//   - the upgrade as the steps run bare, and as the program runs it, watched: its progress must not make
//     it more than 5% slower;
//   - how often the watch hears of the progress (the longest time between two reports, goal 250 ms), and
//     how far the reckoned total was from the work counted;
//   - each step's work, in steps of SQLite's virtual machine per entry: what the reckoning rests on.
// The median of three runs of each: the machine is shared.
//
//   bench_upgrade [LEDGER [VERSION]]
#include "bench_timing.h"
#include "genlog/banklog_generator.h"
#include "ledger/ledger_actions.h"
#include "ledger/ledger_open.h"
#include "ledger/sqlite_format.h"
#include "ledger/sqlite_ledger.h"
#include "old_ledger_file.h"

#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

namespace {
namespace fs = std::filesystem;
using coffer::bench::Median;
using coffer::bench::Row;
using coffer::bench::Seconds;

// The steps that bring a ledger from `version`, as the program ran them before its upgrades reported.
void BareUpgrade(const std::string& file, std::int64_t version) {
    coffer::SqliteDatabase db(file, coffer::SqliteDatabase::Access::ReadWrite, {});
    db.execute("PRAGMA cache_size = -131072; PRAGMA mmap_size = 2147418112; PRAGMA synchronous = NORMAL; "
               "PRAGMA temp_store = MEMORY");
    db.checkpointOnClose();
    {
        coffer::SqliteTransaction transaction(db);
        coffer::UpgradeLedgerSchema(db, version);
        transaction.commit();
    }
    if (coffer::UpgradeCompacts(version))
        db.execute("VACUUM");
}

int CountStep(void* steps) {
    ++*static_cast<std::uint64_t*>(steps);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const fs::path folder = fs::temp_directory_path() / ("coffer-bench-upgrade-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const fs::path current = argc > 1 ? fs::path(argv[1]) : folder / "current.sqlite";
    const std::int64_t version = argc > 2 ? std::stoll(argv[2]) : 3;
    if (!fs::exists(current)) {
        coffer::bench::BankLogGeneratorOptions options;
        options.entry_count = 1'000'000;
        options.spread_days = 365;
        coffer::SqliteLedger ledger(current.string(), coffer::SqliteDatabase::Access::ReadWrite);
        std::ignore = coffer::AddToLedger(ledger, coffer::bench::GenerateBankLog(options), "", 0);
    }
    const fs::path old = folder / "old.sqlite", work = folder / "work.sqlite";
    coffer::WriteOldLedgerFile(old.string(), version, current.string());
    std::uint64_t entries = 0;
    {
        coffer::SqliteDatabase db(old.string(), coffer::SqliteDatabase::Access::ReadOnly, {});
        coffer::SqliteStatement count(db, "SELECT count(*) FROM entry");
        entries = count.step() ? static_cast<std::uint64_t>(count.integer(0)) : 0;
    }
    const auto fresh = [&] {
        fs::copy_file(old, work, fs::copy_options::overwrite_existing);
        return work.string();
    };

    std::vector<double> bare, watched, longestGap;
    std::uint64_t reports = 0, lastDone = 0, total = 0;
    double gapEnd = 0; // the share of the work told at the end of the longest time without a report
    for (int run = 0; run < 3; ++run) {
        const std::string file = fresh();
        bare.push_back(Seconds([&] { BareUpgrade(file, version); }));
        fresh();
        auto last = std::chrono::steady_clock::now();
        double gap = 0;
        reports = 0;
        coffer::UpgradeWatch watch;
        watch.progress = [&](std::uint64_t done, std::uint64_t of) {
            const auto now = std::chrono::steady_clock::now();
            if (const double since = std::chrono::duration<double>(now - last).count(); since > gap)
                gap = since, gapEnd = static_cast<double>(done) / static_cast<double>(of);
            last = now;
            ++reports;
            if (done < of)
                lastDone = done;
            total = of;
            return true;
        };
        last = std::chrono::steady_clock::now();
        watched.push_back(
            Seconds([&] { std::ignore = coffer::OpenLedger(file, coffer::LedgerAccess::ReadWrite, {}, watch); }));
        longestGap.push_back(gap);
    }

    // Each step alone, its steps of the virtual machine counted.
    std::vector<std::pair<std::string, double>> perEntry;
    {
        coffer::SqliteDatabase db(fresh(), coffer::SqliteDatabase::Access::ReadWrite, {});
        db.execute("PRAGMA cache_size = -131072; PRAGMA temp_store = MEMORY");
        std::uint64_t steps = 0;
        sqlite3_progress_handler(db.handle(), 1, &CountStep, &steps);
        for (std::int64_t step = version; step < coffer::LedgerFormatVersion(); ++step) {
            steps = 0;
            coffer::UpgradeLedgerSchema(db, step, step + 1);
            perEntry.emplace_back("step " + std::to_string(step) + " to " + std::to_string(step + 1),
                                  static_cast<double>(steps) / static_cast<double>(entries));
        }
        if (coffer::UpgradeCompacts(version)) {
            steps = 0;
            db.execute("VACUUM");
            perEntry.emplace_back("the compaction", static_cast<double>(steps) / static_cast<double>(entries));
        }
    }
    fs::remove_all(folder);

    std::printf("the upgrade of a ledger file of %llu entries from version %lld to %lld\n",
                static_cast<unsigned long long>(entries), static_cast<long long>(version),
                static_cast<long long>(coffer::LedgerFormatVersion()));
    const double slower = 100 * (Median(watched) / Median(bare) - 1);
    std::printf("  %-52s %8.2f s\n", "bare steps", Median(bare));
    std::printf("  %-52s %8.2f s    %+.1f%%, goal <= +5%%\n", "watched, as the program runs it", Median(watched),
                slower);
    Row("longest time between two reports", 1000 * *std::ranges::max_element(longestGap), "ms", "<= 250 ms");
    std::printf("  %-52s %8.1f %%\n", "  which ended at (100: the commit or the compaction's end)", 100 * gapEnd);
    std::printf("  %-52s %8llu\n", "reports", static_cast<unsigned long long>(reports));
    std::printf("  %-52s %8.1f %%   (100: reckoned exactly)\n", "work counted of the reckoned total",
                100.0 * static_cast<double>(lastDone) / static_cast<double>(std::max<std::uint64_t>(total, 1)));
    for (const auto& [step, steps] : perEntry)
        std::printf("  %-52s %8.1f steps of the virtual machine per entry\n", step.c_str(), steps);
    return 0;
}

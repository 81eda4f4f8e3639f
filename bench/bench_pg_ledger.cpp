// SPDX-License-Identifier: MIT
// The guild ledger on a PostgreSQL server that the benchmark starts for itself (on a Unix socket, every
// commit flushed to disk, 2 GB of shared buffers): a 100,000-entry paste added to an empty ledger
// and added again, and one week of a 1,000,000-entry ledger over a year analysed with the report
// written; and the peak memory of coffer-cli reporting everything from that ledger, against reporting
// from a ledger file of the same entries; and a count of the entries list that the user has typed past,
// run to its end and stopped. Medians of several runs, each add on a new database: the
// machine is shared.
//
//   bench_pg_ledger [RUNS]   (default 3)
#include "analysis/analysis_run.h"
#include "bench_timing.h"
#include "genlog/banklog_generator.h"
#include "ledger/ledger_actions.h"
#include "ledger/postgres_ledger.h"
#include "ledger/sqlite_ledger.h"
#include "report/report_file.h"

#include <tuple>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {
namespace fs = std::filesystem;
using coffer::bench::Median;
using coffer::bench::Seconds;

// The throwaway server, stopped and removed again when the benchmark ends.
class BenchServer {
  public:
    explicit BenchServer(const fs::path& state) : state_(state) {
        // Memory for the million-entry ledger and its indexes, as a server that keeps one would have.
        const std::string start =
            std::string(COFFER_PG_SCRIPT) + " start " + state_.string() + " -c fsync=on -c shared_buffers=2GB";
        if (std::system(start.c_str()) != 0)
            throw std::runtime_error("cannot start the PostgreSQL server");
        std::ifstream(state_) >> folder_ >> port_;
    }
    ~BenchServer() { std::system((std::string(COFFER_PG_SCRIPT) + " stop " + state_.string()).c_str()); }
    std::string uri(const std::string& database) const {
        return "postgresql://postgres@/" + database + "?host=" + folder_ + "&port=" + port_;
    }
    std::string newLedger() {
        const std::string name = "bench" + std::to_string(databases_++);
        admin().execute("CREATE DATABASE " + name);
        return uri(name);
    }

  private:
    coffer::PgConnection admin() const { return {uri("postgres"), false, {}}; }
    fs::path state_;
    std::string folder_, port_;
    int databases_ = 0;
};

std::string Log(std::size_t entries, std::uint64_t seed, std::uint64_t days) {
    coffer::bench::BankLogGeneratorOptions options;
    options.entry_count = entries;
    options.seed = seed;
    options.spread_days = days;
    return coffer::bench::GenerateBankLog(options);
}

// The peak memory, in MiB, of coffer-cli writing the report of everything a ledger holds.
double ReportPeakMib(const std::string& ledger, const fs::path& report) {
    return coffer::bench::RunProcess({COFFER_CLI_PATH, "--ledger", ledger, "-o", report.string(), "--quiet"}).peakMib;
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const fs::path folder = fs::temp_directory_path() / ("coffer-bench-pg-" + std::to_string(getpid()));
    fs::create_directories(folder);
    {
        BenchServer server(folder / "server");
        const std::string log = Log(100'000, 1, 30);
        std::vector<double> first, again, week;
        for (int run = 0; run < runs; ++run) {
            coffer::PostgresLedger ledger(server.newLedger(), coffer::LedgerAccess::ReadWrite);
            first.push_back(Seconds([&] { std::ignore = coffer::AddToLedger(ledger, log, "log.xml", 0); }));
            again.push_back(Seconds([&] { std::ignore = coffer::AddToLedger(ledger, log, "log.xml", 0); }));
        }
        // Ten pastes of other members' entries over the same year.
        const std::string big = server.newLedger();
        {
            coffer::PostgresLedger ledger(big, coffer::LedgerAccess::ReadWrite);
            for (std::uint64_t seed = 1; seed <= 10; ++seed)
                std::ignore = coffer::AddToLedger(ledger, Log(100'000, seed, 365), "", 0);
        }
        for (int run = 0; run < runs; ++run)
            week.push_back(Seconds([&] {
                coffer::PostgresLedger ledger(big, coffer::LedgerAccess::ReadOnly);
                const std::uint64_t last = static_cast<std::uint64_t>(*ledger.totals().lastTs);
                const coffer::TimeRange period{.first = last - 7 * 86'400'000ull, .last = last};
                coffer::GuildStats stats;
                coffer::AnalysisHooks hooks;
                hooks.selection.period = period;
                coffer::RunAnalysisInPlace(coffer::ReadLedgerLog(ledger, period).text, stats, hooks);
                coffer::GenerateReport(stats, {}, folder / "report.html");
            }));
        // The entries list of that ledger: its first screen, its last row, a member's name searched.
        // A count of one letter typed past: run to its end, and stopped 10 ms after it began (from the
        // stop until the connection is free again).
        std::vector<double> firstScreen, lastScreen, memberSearch, searchedAgain, letterCount, letterStopped;
        for (int run = 0; run < runs; ++run) {
            coffer::PostgresLedger ledger(big, coffer::LedgerAccess::ReadOnly);
            // The count comes with the first screen; the last one wants it first.
            const auto screen = [&](const coffer::EntryListFilter& filter, bool last) {
                const std::uint64_t total = last ? ledger.countListed(filter) : 0;
                std::ignore = ledger.listRows(filter, total > 40 ? total - 40 : 0, 40);
            };
            firstScreen.push_back(Seconds([&] { screen({}, false); }));
            lastScreen.push_back(Seconds([&] { screen({}, true); }));
            const std::string member = coffer::ReadEntryFields(ledger.listRows({}, 0, 1).rows.at(0).text).member;
            memberSearch.push_back(Seconds([&] { screen({.search = member}, false); }));
            searchedAgain.push_back(Seconds([&] { screen({.search = member.substr(1)}, false); }));
            letterCount.push_back(Seconds([&] { std::ignore = ledger.countListed({.search = "a"}); }));
            std::atomic<bool> stop = false;
            ledger.stopReadsWhen([&] { return stop.load(); });
            std::chrono::steady_clock::time_point stopped;
            std::thread stopper([&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                stopped = std::chrono::steady_clock::now();
                stop = true;
            });
            try {
                std::ignore = ledger.countListed({.search = "a"});
            } catch (const coffer::LedgerError&) {
            }
            stopper.join();
            letterStopped.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - stopped).count());
        }
        const std::string file = (folder / "big.sqlite").string();
        {
            coffer::PostgresLedger from(big, coffer::LedgerAccess::ReadOnly);
            coffer::SqliteLedger to(file, coffer::SqliteDatabase::Access::ReadWrite);
            std::ignore = coffer::MergeLedger(to, from, big);
        }
        std::vector<double> serverPeak, filePeak;
        for (int run = 0; run < runs; ++run) {
            serverPeak.push_back(ReportPeakMib(big, folder / "report.html"));
            filePeak.push_back(ReportPeakMib(file, folder / "report.html"));
        }
        std::printf("server ledger (PostgreSQL on a Unix socket), median of %d runs:\n", runs);
        std::printf("  add a 100,000-entry paste to an empty ledger   %.3f s\n", Median(first));
        std::printf("  add the same paste again                       %.3f s\n", Median(again));
        std::printf("  one week of a 1,000,000-entry ledger, report   %.3f s\n", Median(week));
        std::printf("  its entries list: first screen %.3f s, last row %.3f s, a member's name searched %.3f s "
                    "(the next search on the connection %.3f s)\n",
                    Median(firstScreen), Median(lastScreen), Median(memberSearch), Median(searchedAgain));
        std::printf("  a count of one letter typed past: run to its end %.3f s, stopped after 10 ms %.3f s\n",
                    Median(letterCount), Median(letterStopped));
        std::printf("  everything of it, coffer-cli's peak memory     %.0f MiB (from a ledger file: %.0f MiB, "
                    "goal <= that + 64 MiB)\n",
                    Median(serverPeak), Median(filePeak));
    }
    fs::remove_all(folder);
    return 0;
}

// SPDX-License-Identifier: MIT
// The ledger's entries list against its speed goals, each figure printed beside its goal, on a ledger of
// 1,000,000 entries over a year of 3,000 members (built from a generated log, or the ledger given):
//   - the first screen (the count and the first rows, their cells made) of a ledger just opened, and a
//     jump to the last row;
//   - each keystroke of a search, for a member's name and for a fragment of an item's name, an Action
//     choice and a period choice, each answered with its count and first screen;
//   - coffer-cli --entries of everything against a --members report from the same ledger.
// The slowest of the keystrokes, the median of the other runs: the machine is shared.
//
//   bench_entries [LEDGER]
#include "bench_timing.h"
#include "genlog/banklog_generator.h"
#include "ledger/ledger_actions.h"
#include "ledger/sqlite_ledger.h"

#include <tuple>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {
namespace fs = std::filesystem;
using Access = coffer::SqliteDatabase::Access;
using coffer::bench::Median;
using coffer::bench::Seconds;

constexpr std::uint64_t kScreen = 40; // rows a window shows at once, and then some
constexpr std::int64_t kDayMs = 86'400'000;

void Row(const std::string& work, double figure, const char* unit, const char* goal) {
    std::printf("  %-52s %8.1f %-4s goal %s\n", work.c_str(), figure, unit, goal);
}

// What the list does when its filter changes: the count, then the first screen with its cells.
void Screen(coffer::LedgerStore& ledger, const coffer::EntryListFilter& filter, std::uint64_t first = 0) {
    const std::uint64_t total = ledger.countListed(filter);
    const std::uint64_t from = first == UINT64_MAX ? (total > kScreen ? total - kScreen : 0) : first;
    for (const coffer::ListedRow& row : ledger.listRows(filter, from, kScreen, total))
        std::ignore = coffer::MakeEntryCells(row.text, row.ts);
}

// The slowest answer of the keystrokes that type `text` into the search box, one letter more each.
double Typing(coffer::LedgerStore& ledger, const std::string& text) {
    double slowest = 0;
    for (std::size_t length = 1; length <= text.size(); ++length)
        slowest = std::max(slowest, Seconds([&] { Screen(ledger, {.search = text.substr(0, length)}); }));
    return slowest;
}

double Cli(const std::string& arguments) {
    return Seconds([&] {
        if (std::system((std::string(COFFER_CLI_PATH) + " --quiet " + arguments).c_str()) != 0)
            std::printf("coffer-cli %s failed\n", arguments.c_str());
    });
}

} // namespace

int main(int argc, char** argv) {
    const fs::path folder = fs::temp_directory_path() / ("coffer-bench-entries-" + std::to_string(getpid()));
    fs::create_directories(folder);
    fs::path file = folder / "year.sqlite";
    if (argc > 1) {
        file = argv[1];
    } else {
        coffer::bench::BankLogGeneratorOptions options;
        options.entry_count = 1'000'000;
        options.spread_days = 365;
        const std::string log = coffer::bench::GenerateBankLog(options);
        coffer::SqliteLedger ledger(file.string(), Access::ReadWrite);
        std::ignore = coffer::AddToLedger(ledger, log, "", 0);
    }
    std::vector<double> opened, last;
    for (int run = 0; run < 5; ++run) {
        opened.push_back(Seconds([&] {
            coffer::SqliteLedger ledger(file.string(), Access::ReadOnly);
            Screen(ledger, {});
        }));
    }
    coffer::SqliteLedger ledger(file.string(), Access::ReadOnly);
    for (int run = 0; run < 5; ++run)
        last.push_back(Seconds([&] { Screen(ledger, {}, UINT64_MAX); }));
    // A member's and an item's name as the ledger holds them: those of its newest entries.
    const std::uint64_t total = ledger.countListed({});
    const coffer::EntryFields newest = coffer::ReadEntryFields(ledger.listRows({}, 0, 1, total).at(0).text);
    std::string item;
    for (std::uint64_t row = 0; item.empty(); ++row)
        item = coffer::ReadEntryFields(ledger.listRows({}, row, 1, total).at(0).text).item;
    const std::string fragment = item.substr(item.size() / 3, 6);
    const coffer::LedgerTotals totals = ledger.totals();
    const auto newestTs = static_cast<std::uint64_t>(totals.lastTs.value_or(0));
    double actions = 0, periods = 0;
    for (const coffer::ActionGroup group :
         {coffer::ActionGroup::Items, coffer::ActionGroup::Gold, coffer::ActionGroup::Repairs,
          coffer::ActionGroup::Deposits, coffer::ActionGroup::Withdrawals})
        actions = std::max(actions, Seconds([&] { Screen(ledger, {.action = group}); }));
    for (const std::int64_t days : {7, 30, 365})
        periods = std::max(periods, Seconds([&] {
                               Screen(ledger, {.period = coffer::TimeRange{
                                                   newestTs - static_cast<std::uint64_t>(days * kDayMs), newestTs}});
                           }));
    const double member = Typing(ledger, newest.member), fragmentTyped = Typing(ledger, fragment);
    const double entries = Cli("--ledger " + file.string() + " --entries " + (folder / "entries.tsv").string());
    const double members = Cli("--ledger " + file.string() + " --members " + (folder / "members.tsv").string() +
                               " -o " + (folder / "report.html").string());

    std::printf("the entries list of a ledger of %llu entries over a year (%s)\n",
                static_cast<unsigned long long>(totals.entries), file.c_str());
    Row("first screen of a ledger just opened", Median(opened) * 1000, "ms", "<= 150 ms");
    Row("jump to the last row", Median(last) * 1000, "ms", "<= 150 ms");
    Row("search keystroke, member \"" + newest.member + "\" (slowest)", member * 1000, "ms", "<= 100 ms");
    Row("search keystroke, item fragment \"" + fragment + "\" (slowest)", fragmentTyped * 1000, "ms", "<= 200 ms");
    Row("Action choice (slowest)", actions * 1000, "ms", "<= 100 ms");
    Row("period choice: 7, 30, 365 days (slowest)", periods * 1000, "ms", "<= 100 ms");
    std::printf("  %-52s %8.2f s = %.2f x --members (%.2f s), goal <= 2 x\n", "coffer-cli --entries of everything",
                entries, entries / members, members);
    fs::remove_all(folder);
    return 0;
}

// SPDX-License-Identifier: MIT
// The ledger's entries list against its speed goals, each figure printed beside its goal, on a ledger of
// 1,000,000 entries over a year of 3,000 members (built from a generated log, or the ledger given):
//   - the first screen (the count and the first rows, their cells made) of a ledger just opened, and a
//     jump to the last row;
//   - each keystroke of a search, for a member's name and for a fragment of an item's name, an Action
//     choice and a period choice, each answered with its count and first screen; the member's name
//     typed faster than the window's list answers, which reads for its last letter only;
//   - the list's totals of those filters, of everything and of a member's entries, and a member's name typed
//     with the first screen and the totals read together, as the window's list reads them;
//   - a sort by each of Member, Item, Count and Gold of the newest 200,000 rows or fewer (a period's), with
//     its first screen, and a sort of more rows refused;
//   - the list gone while it exports every entry, until its reader's thread has ended;
//   - coffer-cli --entries of everything against a --members report from the same ledger;
//   - the memory the window's list holds (the heap in use, and the resident size, as it grew) once it has
//     shown its first screen, its last one and a search, on a ledger of 10,000 entries and on this one.
// The slowest of the keystrokes, the median of the other runs: the machine is shared.
//
//   bench_entries [LEDGER]
#include "bench_timing.h"
#include "genlog/banklog_generator.h"
#include "ledger/ledger_actions.h"
#include "ledger/sqlite_ledger.h"
#include "ui/ledger/entry_list_model.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <malloc.h>

#include <tuple>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {
namespace fs = std::filesystem;
using Access = coffer::SqliteDatabase::Access;
using coffer::bench::Median;
using coffer::bench::Row;
using coffer::bench::Seconds;

constexpr std::uint64_t kScreen = 40; // rows a window shows at once, and then some
constexpr std::int64_t kDayMs = 86'400'000;

// What the list does when its filter changes: the count with the first screen, its cells made (and, where
// `withTotals`, the list's totals, as the window's list reads them); or, for the last screen (`last`), the
// count, then that screen.
void Screen(coffer::LedgerStore& ledger, const coffer::EntryListFilter& filter, bool last = false,
            bool withTotals = false) {
    const std::uint64_t total = last ? ledger.countListed(filter) : 0;
    for (const coffer::ListedRow& row :
         ledger.listRows(filter, total > kScreen ? total - kScreen : 0, kScreen, false, withTotals).rows)
        std::ignore = coffer::MakeEntryCells(row.text, row.ts);
}

// What a keystroke reads: the list's screen, the list's totals alone, or the screen with the totals.
enum class Answer { Screen, Totals, ScreenWithTotals };

// The answers of the keystrokes that type `text` into the search box, one letter more each, in ms.
std::vector<double> Typing(coffer::LedgerStore& ledger, const std::string& text, Answer answer = Answer::Screen) {
    std::vector<double> answers;
    for (std::size_t length = 1; length <= text.size(); ++length) {
        const coffer::EntryListFilter filter{.search = text.substr(0, length)};
        answers.push_back(1000 * Seconds([&] {
                              if (answer == Answer::Totals)
                                  std::ignore = ledger.listTotals(filter);
                              else
                                  Screen(ledger, filter, false, answer == Answer::ScreenWithTotals);
                          }));
    }
    return answers;
}

std::string Each(const std::vector<double>& answers) {
    std::string text;
    for (const double ms : answers)
        text += (text.empty() ? "" : " ") + std::to_string(static_cast<int>(ms + 0.5));
    return text;
}

// The heap in use and the resident size, in MB.
std::pair<double, double> Memory() {
    long size = 0, pages = 0;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &size, &pages) != 2)
            pages = 0;
        std::fclose(statm);
    }
    return {static_cast<double>(mallinfo2().uordblks) / 1e6, static_cast<double>(pages * sysconf(_SC_PAGESIZE)) / 1e6};
}

// Waits until the window's list has counted its filter and read `row`, for a minute at most.
void WaitShown(const coffer::EntryListModel& list, int row) {
    QElapsedTimer waited;
    waited.start();
    while ((!list.counted() || list.index(row, 0).data() == QStringLiteral("…")) && waited.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
}

// A search typed faster than the window's list answers, one letter more each time: the time until the
// first screen of the whole text is shown, and the processor time taken until a second later (the wait
// for that screen included), in ms. The reads of the shorter texts are skipped, or stopped as they run.
std::pair<double, double> TypedAtOnce(const fs::path& ledger, const std::string& text) {
    coffer::EntryListModel list;
    list.setLedger(ledger.string());
    WaitShown(list, 0);
    const std::clock_t start = std::clock();
    const double shown = 1000 * Seconds([&] {
                             for (std::size_t length = 1; length <= text.size(); ++length)
                                 list.setFilter({.search = text.substr(0, length)});
                             WaitShown(list, 0);
                         });
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 1000) { // sleeping: only the reads take the processor meanwhile
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
    return {shown, 1000.0 * static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC};
}

// What the window's list of a ledger holds once it has shown its first screen, its last one and a search:
// the growth of the heap in use and of the resident size, in MB.
std::pair<double, double> ListMemory(const fs::path& ledger) {
    const auto [heapBefore, residentBefore] = Memory();
    {
        coffer::EntryListModel list;
        list.setLedger(ledger.string());
        for (const coffer::EntryListFilter& filter :
             {coffer::EntryListFilter{}, coffer::EntryListFilter{.search = "a"}}) {
            list.setFilter(filter);
            WaitShown(list, 0);
            WaitShown(list, list.rowCount() - 1);
        }
        const auto [heap, resident] = Memory();
        return {heap - heapBefore, resident - residentBefore};
    }
}

double Cli(const std::string& arguments) {
    return Seconds([&] {
        if (std::system((std::string(COFFER_CLI_PATH) + " --quiet " + arguments).c_str()) != 0)
            std::printf("coffer-cli %s failed\n", arguments.c_str());
    });
}

} // namespace

// How long the window's list takes to go while it exports every entry, in ms: it stops the export and waits for
// its thread to end. The export's file must not be there then.
double GoneDuringExport(const fs::path& ledger, const fs::path& csv) {
    auto list = std::make_unique<coffer::EntryListModel>();
    list->setLedger(ledger.string());
    list->exportCsv(csv.string(), [](const QString&) {});
    QThread::msleep(300); // well into the export of a million entries
    const double gone = 1000 * Seconds([&] { list.reset(); });
    if (fs::exists(csv))
        std::printf("the export stopped as the list went wrote its file all the same\n");
    return gone;
}

int main(int argc, char** argv) {
    // One memory area for every thread: mallinfo2() counts the main one only, and the list's reader and
    // the add's second thread would each get one of their own.
    mallopt(M_ARENA_MAX, 1);
    QCoreApplication application(argc, argv);
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
    const fs::path small = folder / "small.sqlite";
    {
        coffer::bench::BankLogGeneratorOptions options;
        options.entry_count = 10'000;
        options.spread_days = 365;
        coffer::SqliteLedger ledger(small.string(), Access::ReadWrite);
        std::ignore = coffer::AddToLedger(ledger, coffer::bench::GenerateBankLog(options), "", 0);
    }
    const std::pair<double, double> smallList = ListMemory(small), largeList = ListMemory(file);
    const double gone = GoneDuringExport(file, folder / "entries.csv");
    std::vector<double> opened, last;
    for (int run = 0; run < 5; ++run) {
        opened.push_back(Seconds([&] {
            coffer::SqliteLedger ledger(file.string(), Access::ReadOnly);
            Screen(ledger, {});
        }));
    }
    coffer::SqliteLedger ledger(file.string(), Access::ReadOnly);
    for (int run = 0; run < 5; ++run)
        last.push_back(Seconds([&] { Screen(ledger, {}, true); }));
    // A member's and an item's name as the ledger holds them: those of its newest entries.
    const coffer::EntryFields newest = coffer::ReadEntryFields(ledger.listRows({}, 0, 1).rows.at(0).text);
    std::string item;
    for (std::uint64_t row = 0; item.empty(); ++row)
        item = coffer::ReadEntryFields(ledger.listRows({}, row, 1).rows.at(0).text).item;
    const std::string fragment = item.substr(item.size() / 3, 6);
    const coffer::LedgerTotals totals = ledger.totals();
    const auto newestTs = static_cast<std::uint64_t>(totals.lastTs.value_or(0));
    double actions = 0, periods = 0, actionTotals = 0, periodTotals = 0;
    for (const coffer::ActionGroup group :
         {coffer::ActionGroup::Items, coffer::ActionGroup::Gold, coffer::ActionGroup::Repairs,
          coffer::ActionGroup::Deposits, coffer::ActionGroup::Withdrawals}) {
        actions = std::max(actions, Seconds([&] { Screen(ledger, {.action = group}); }));
        actionTotals = std::max(actionTotals, Seconds([&] { std::ignore = ledger.listTotals({.action = group}); }));
    }
    for (const std::int64_t days : {7, 30, 365}) {
        const coffer::EntryListFilter filter{
            .period = coffer::TimeRange{newestTs - static_cast<std::uint64_t>(days * kDayMs), newestTs}};
        periods = std::max(periods, Seconds([&] { Screen(ledger, filter); }));
        periodTotals = std::max(periodTotals, Seconds([&] { std::ignore = ledger.listTotals(filter); }));
    }
    // The totals of everything, of the member's entries, and of the member's withdrawals of the last month.
    std::vector<double> everythingTotals, memberTotals;
    for (int run = 0; run < 5; ++run) {
        everythingTotals.push_back(Seconds([&] { std::ignore = ledger.listTotals({}); }));
        const coffer::EntryListFilter member{.member = newest.member},
            monthsWithdrawals{.period = coffer::TimeRange{newestTs - 30 * kDayMs, newestTs},
                              .member = newest.member,
                              .action = coffer::ActionGroup::Withdrawals};
        memberTotals.push_back(std::max(Seconds([&] { std::ignore = ledger.listTotals(member); }),
                                        Seconds([&] { std::ignore = ledger.listTotals(monthsWithdrawals); })));
    }
    const std::vector<double> memberTyped = Typing(ledger, newest.member, Answer::Totals),
                              fragmentTotals = Typing(ledger, fragment, Answer::Totals),
                              memberWithTotals = Typing(ledger, newest.member, Answer::ScreenWithTotals);
    // The longest period of whole days back from the newest entry whose list a sort takes.
    coffer::EntryListFilter sortable;
    std::uint64_t sortableRows = 0;
    for (std::int64_t days = 400; days > 0 && (sortableRows == 0 || sortableRows > coffer::kMostRowsSorted); --days) {
        sortable.period = coffer::TimeRange{newestTs - static_cast<std::uint64_t>(days * kDayMs), newestTs};
        sortableRows = ledger.countListed(sortable);
    }
    double sorts = 0;
    for (const coffer::EntrySortColumn column : {coffer::EntrySortColumn::Member, coffer::EntrySortColumn::Item,
                                                 coffer::EntrySortColumn::Count, coffer::EntrySortColumn::Gold})
        sorts = std::max(sorts, Seconds([&] {
                             const auto sorted = ledger.sortListed(sortable, {.column = column, .reversed = false});
                             for (const coffer::ListedRow& row : ledger.sortedRows(sortable, *sorted, 0, kScreen))
                                 std::ignore = coffer::MakeEntryCells(row.text, row.ts);
                         }));
    const bool refusedPast = !ledger.sortListed({}, {.column = coffer::EntrySortColumn::Member, .reversed = false});
    const std::vector<double> member = Typing(ledger, newest.member), fragmentTyped = Typing(ledger, fragment);
    const auto [typedShown, typedProcessor] = TypedAtOnce(file, newest.member);
    const double entries = Cli("--ledger " + file.string() + " --entries " + (folder / "entries.tsv").string());
    const double members = Cli("--ledger " + file.string() + " --members " + (folder / "members.tsv").string() +
                               " -o " + (folder / "report.html").string());

    std::printf("the entries list of a ledger of %llu entries over a year (%s)\n",
                static_cast<unsigned long long>(totals.entries), file.c_str());
    Row("first screen of a ledger just opened", Median(opened) * 1000, "ms", "<= 150 ms");
    Row("jump to the last row", Median(last) * 1000, "ms", "<= 150 ms");
    Row("search keystroke, member \"" + newest.member + "\" (slowest)", std::ranges::max(member), "ms", "<= 100 ms");
    std::printf("    each keystroke: %s ms\n", Each(member).c_str());
    Row("search keystroke, item fragment \"" + fragment + "\" (slowest)", std::ranges::max(fragmentTyped), "ms",
        "<= 200 ms");
    std::printf("    each keystroke: %s ms\n", Each(fragmentTyped).c_str());
    std::printf("  %-52s %8.1f ms   the reads' processor time %.1f ms\n",
                "the member's name typed at once in the window's list", typedShown, typedProcessor);
    Row("Action choice (slowest)", actions * 1000, "ms", "<= 100 ms");
    Row("period choice: 7, 30, 365 days (slowest)", periods * 1000, "ms", "<= 100 ms");
    Row("totals of everything", Median(everythingTotals) * 1000, "ms", "<= 100 ms");
    Row("totals of the member, or of a month of its withdrawals (slower)", Median(memberTotals) * 1000, "ms",
        "<= 100 ms");
    Row("totals, search keystroke, member (slowest)", std::ranges::max(memberTyped), "ms", "<= 100 ms");
    std::printf("    each keystroke: %s ms\n", Each(memberTyped).c_str());
    Row("search keystroke, member, first screen with the totals (slowest)", std::ranges::max(memberWithTotals), "ms",
        "<= 100 ms");
    std::printf("    each keystroke: %s ms\n", Each(memberWithTotals).c_str());
    Row("totals, search keystroke, item fragment (slowest)", std::ranges::max(fragmentTotals), "ms", "<= 200 ms");
    std::printf("    each keystroke: %s ms\n", Each(fragmentTotals).c_str());
    Row("totals, Action choice (slowest)", actionTotals * 1000, "ms", "<= 100 ms");
    Row("totals, period choice: 7, 30, 365 days (slowest)", periodTotals * 1000, "ms", "<= 100 ms");
    Row("sort of " + std::to_string(sortableRows) + " rows by a column, first screen (slowest)", sorts * 1000, "ms",
        "<= 1000 ms");
    std::printf("    a sort of all %llu rows refused: %s\n", static_cast<unsigned long long>(totals.entries),
                refusedPast ? "yes" : "NO");
    Row("the list gone during an export of everything", gone, "ms", "<= 1000 ms");
    std::printf("  %-52s %8.2f s = %.2f x --members (%.2f s), goal <= 2 x\n", "coffer-cli --entries of everything",
                entries, entries / members, members);
    std::printf("  %-52s %8.1f MB   goal <= 20 MB\n", "the list's memory, 1M against 10k entries: heap in use",
                largeList.first - smallList.first);
    std::printf("    heap %.1f MB (10k), %.1f MB (1M); resident size grew %.1f MB (10k), %.1f MB (1M)\n",
                smallList.first, largeList.first, smallList.second, largeList.second);
    fs::remove_all(folder);
    return 0;
}

// SPDX-License-Identifier: MIT
// The whole engine over a text: the run itself, its copy of the log on a tmpfs, with a period and the
// repeated-pages choice taken from the input, checked against a plain scan and totals of the same text
// (tables, guild, counts); then the run's report read strictly, its exports read as text files, and the
// entry filter's and totals' decisions checked against what the log holds.
#include "analysis/analysis_run.h"
#include "analysis/scan/bank_log_scanner.h"
#include "analysis/scan/line_reader.h"
#include "analysis/text/web_text.h"
#include "report/html_report.h"
#include "report/table_export.h"
#include "strict_report.h"

#include <algorithm>
#include <cstdint>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

using namespace coffer;

namespace {

void Require(bool condition) {
    if (!condition)
        __builtin_trap();
}

// The element's words joined by single spaces: equal exactly for the texts that repeat each other.
std::string Words(std::string_view text) {
    std::string words;
    std::istringstream in{std::string(text)};
    for (std::string word; in >> word;)
        words += (words.empty() ? "" : " ") + word;
    return words;
}

// A sum never wraps or changes sign: what only goes in stays "+", what only goes out never is.
void RequireSignedTotals(const StatsTable& members) {
    for (std::size_t row = 0; row < members.rowCount(); ++row) {
        for (const int column : {kDeposits, kWithdrawals, kGoldDeposits})
            Require(members.cell(row, static_cast<std::size_t>(column))[0] == '+');
        for (const int column : {kGoldWithdrawls, kRepairs}) {
            const std::string_view cell = members.cell(row, static_cast<std::size_t>(column));
            Require(cell[0] == '-' || cell == "+00000.00");
        }
    }
}

// Only text reaches an export: valid UTF-8 and no control character but the separators.
void RequireTextFile(const std::string& file) {
    for (std::size_t at = 0; at < file.size();) {
        const auto byte = static_cast<unsigned char>(file[at]);
        Require(byte >= 0x20 || file[at] == '\t' || file[at] == '\r' || file[at] == '\n');
        const std::size_t length = Utf8SequenceLength(file, at);
        Require(length > 0);
        at += length;
    }
}

// The selection picked by the first byte's high bits: its fourth bit counts repeated elements once;
// the next two pick the period's first day from the log's times (or leave it open), the last two its
// last day, so that the period's edges fall on the entries' own times. None at all when all four are 0.
EntrySelection SelectionOf(std::uint8_t choice, const std::vector<BankLogEntry>& entries) {
    EntrySelection selection{.period = std::nullopt, .countRepeatedOnce = (choice & 0x08) != 0};
    std::vector<std::uint64_t> times;
    for (const BankLogEntry& entry : entries)
        if (entry.ts)
            times.push_back(*entry.ts);
    const unsigned firstPick = (choice >> 4) & 3, lastPick = choice >> 6;
    if (firstPick == 0 && lastPick == 0)
        return selection;
    std::sort(times.begin(), times.end());
    selection.period = TimeRange{};
    if (firstPick > 0 && !times.empty())
        selection.period->first = times[(firstPick - 1) % times.size()];
    if (lastPick > 0 && !times.empty())
        selection.period->last = times[times.size() - 1 - (lastPick - 1) % times.size()];
    return selection;
}

void RequireSameTable(const StatsTable& table, const StatsTable& expected) {
    Require(table.rowCount() == expected.rowCount() && table.columnCount() == expected.columnCount());
    for (std::size_t row = 0; row < table.rowCount(); ++row)
        for (std::size_t column = 0; column < table.columnCount(); ++column)
            Require(table.cell(row, column) == expected.cell(row, column));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The first byte picks the section limits, so small limits and their rules run too, and the selection.
    const int limit = size > 0 ? static_cast<int>(data[0] % 8) - 2 : 10;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (!LooksLikeBankLog(text))
        return 0;

    // The plain path: one scan on this thread, then each entry filtered and totalled in log order.
    GuildStats expected;
    std::vector<BankLogEntry> entries;
    std::istringstream in{std::string(text)};
    LineReader lines(in);
    ScanBankLog(lines, expected.guild, [&](BankLogEntry& entry) { entries.push_back(entry); }, {});
    const EntrySelection selection = SelectionOf(size > 0 ? data[0] : 0, entries);
    MemberTotals members;
    EntryFilter filter(selection, text);
    std::set<std::string> earlierPages, thisPage;
    std::uint64_t page = 0, untyped = 0;
    for (BankLogEntry& entry : entries) {
        if (entry.page != page) {
            earlierPages.merge(thisPage);
            page = entry.page;
        }
        const std::string words = Words(text.substr(entry.textBegin, entry.textEnd - entry.textBegin));
        const std::optional<TimeRange>& period = selection.period;
        const bool inPeriod = !period || (entry.ts && *entry.ts >= period->first && *entry.ts <= period->last);
        const bool admitted = inPeriod && !(selection.countRepeatedOnce && earlierPages.contains(words));
        thisPage.insert(words);
        Require(filter.admit(entry) == admitted);
        if (!admitted)
            continue;
        untyped += entry.type.empty() ? 1 : 0;
        TotalEntry(entry, members, expected.items, nullptr);
    }
    for (std::string* name : {&expected.guild.name, &expected.guild.realm})
        *name = members.shown(*name);
    const std::uint64_t leftOut = members.leftOut(), cutNames = members.cutNames();
    FinishMemberTable(std::move(members), expected.members);

    // The run, its copy on a tmpfs. An eighth of the inputs, by their length, are scanned on a thread of
    // their own as large logs are; the others, as small logs are, on this one. A thread's start and
    // hand-overs cost more than all the rest of a small input's run.
    GuildStats stats;
    const std::uint64_t concurrentScanFrom = size % 8 == 0 ? 0 : kConcurrentScanFrom;
    const AnalysisResult result =
        RunAnalysis(text, stats, "/dev/shm", {.selection = selection, .concurrentScanFrom = concurrentScanFrom});
    Require(result.outcome == AnalysisOutcome::Complete);
    RequireSameTable(stats.members, expected.members);
    RequireSameTable(stats.items, expected.items);
    Require(stats.guild.name == expected.guild.name && stats.guild.realm == expected.guild.realm);
    Require(result.outsidePeriod == filter.outsidePeriod() && result.repeatedEntries == filter.repeated());
    Require(result.leftOutAmounts == leftOut && result.cutNames == cutNames);
    Require(result.untypedElements == untyped);

    RequireSignedTotals(stats.members);
    for (const StatsTable* table : {&stats.members, &stats.items})
        for (const TableFormat format : {TableFormat::Csv, TableFormat::TabSeparated})
            RequireTextFile(TableText(*table, format));
    const ReportSettings settings{.playersPerSection = limit,
                                  .itemsPerSection = limit,
                                  .armoryBase = "http://armory.example",
                                  .itemDatabaseBase = "http://www.lorehold.example",
                                  .programName = "Coffer",
                                  .website = "coffer.example",
                                  .createdOn = "today"};
    RequireStrictReport(BuildReport(stats, settings));
    return 0;
}

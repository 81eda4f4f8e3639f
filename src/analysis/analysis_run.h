// SPDX-License-Identifier: MIT
#pragma once
// One analysis run: bank log text in, the two statistics tables and the guild identity out, then the
// report. Everything a window or the command line needs to watch the run goes through the hooks.

#include "analysis/lookup/item_pricing.h"
#include "analysis/scan/bank_log_entry.h"
#include "analysis/tables/entry_selection.h"
#include "analysis/tables/stats_table.h"
#include "analysis/tables/transaction_totals.h"
#include "analysis/tables/weekly_activity.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace coffer {

// What a run produces and the report reads: the tables, the guild identity and the activity by week.
struct GuildStats {
    StatsTable members = MakeMemberTable();
    StatsTable items = MakeItemTable();
    GuildIdentity guild;
    WeeklyActivity activity;
};

inline constexpr const char* kNoXmlMessage = "No XML data detected";
inline constexpr const char* kLogChangedMessage = "The log file changed while it was read";
// A log beyond this size is refused as it is read: endless input ends there, not in a lack of memory.
inline constexpr std::uint64_t kMaxLogBytes = std::uint64_t{4} << 30;

inline constexpr std::uint64_t kConcurrentScanFrom = 64 * 1024;

// What a long step of a run hears from it: where the step stands, and whether to stop.
struct StepProgress {
    std::function<void(double share)> done; // may be empty; the share of the step done, 0 to 1
    std::stop_token stop;                   // a stop ends the step early; what it made is then not used
    void tell(double share) const {
        if (done)
            done(share);
    }
};

struct AnalysisHooks {
    std::function<void(const std::string&)> showStatus; // may be empty
    std::stop_token stop;                               // a stop ends the run as soon as it can
    ItemPriceSource* itemPrices = nullptr;              // null: items are not looked up
    // May be empty. The share of the whole run done, 0 to 100, each time it grows: the scan, the member
    // table and the report each cover their part of it. Called on the scanning thread during the scan.
    std::function<void(int percent)> progress;
    // Writes the report from the finished tables, telling where it stands; returns an error message,
    // empty on success. After a stop it may return early, having written nothing.
    std::function<std::string(const StepProgress& progress)> generateReport;
    EntrySelection selection; // which entries are analysed; by default every one
    // May be empty. Whether the text's source (a mapped file) has changed since the run began.
    std::function<bool()> sourceChanged;
    // May be empty. Told how many bytes of the text, from its start, are in the run's temporary copy,
    // on the thread that writes it: a mapped text can give back their memory, which the run reads
    // again only now and then.
    std::function<void(std::uint64_t bytes)> copied;
    // A log of fewer bytes is scanned on the thread of the run: a thread's start and the hand-overs
    // between two threads cost more than they save on a log of a few hundred entries.
    std::uint64_t concurrentScanFrom = kConcurrentScanFrom;
};

enum class AnalysisOutcome {
    Complete,       // tables filled, report written
    NoXmlData,      // the text holds no "?xml": tables empty, nothing written
    TempCopyFailed, // the temporary copy of the log could not be written or read: tables empty
    LogChanged,     // the log's file changed while it was read: tables empty
    ReportFailed,   // tables filled, but the report could not be written
    Cancelled,      // stopped before the end: tables empty, nothing written
};

struct AnalysisResult {
    AnalysisOutcome outcome = AnalysisOutcome::Complete;
    std::string message; // what went wrong, for the user; empty when complete
    // Entries left out for the period: outside it or without a readable time.
    std::uint64_t outsidePeriod = 0;
    // Entries whose element text already appeared on an earlier page (skipped or not).
    std::uint64_t repeatedEntries = 0;
    // Amounts too large to be read (money beyond kMaxCopper among them), left out of the totals.
    std::uint64_t leftOutAmounts = 0;
    // Names cut to kMaxNameBytes in the tables (a long name counts in every row that shows it).
    std::uint64_t cutNames = 0;
    // Analysed elements without a readable type, which no table counts.
    std::uint64_t untypedElements = 0;
};

// The texts that tell the user about the counts above.
std::string OutsidePeriodText(std::uint64_t entries);
std::string RepeatedEntriesText(std::uint64_t entries);
// The texts that tell what the tables left out, each when there is any: to be shown after the others.
std::vector<std::string> LeftOutTexts(const AnalysisResult& result);

// Prices one scanned entry (from the source when there is one, else by its gold) and adds it to the
// member totals and the item table: the step the run takes for every entry, in log order.
void TotalEntry(BankLogEntry& entry, MemberTotals& members, StatsTable& items, ItemPriceSource* itemPrices);

// The run: resets the guild identity and empties both tables, rejects a text without "?xml", writes
// the text to a temporary copy of its own in `workFolder` (temp-XXXXXX.txt, its name removed once it is open),
// scans it back as it is written, prices and adds every entry the selection admits, finishes the member table and has
// the report written. With a price source, a first scan of the copy hands the source the log's
// distinct item names. A stop requested through the hooks ends the run early as Cancelled, the copy
// removed all the same. Status texts: "Connecting to ..." (from the price source), "Cleaning up...",
// "Generating Report", "Complete".
AnalysisResult RunAnalysis(std::string_view logText, GuildStats& stats, const std::filesystem::path& workFolder,
                           const AnalysisHooks& hooks);

// The same run over a text the program built itself (a ledger's entries), read where it lies: no
// temporary copy is written.
AnalysisResult RunAnalysisInPlace(std::string_view logText, GuildStats& stats, const AnalysisHooks& hooks);

} // namespace coffer

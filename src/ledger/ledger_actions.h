// SPDX-License-Identifier: MIT
#pragma once
// What the programs do with a ledger, whatever store holds it: add a paste, read a period for the
// analysis.

#include "analysis/analysis_run.h"
#include "ledger/ledger_gaps.h"
#include "ledger/ledger_log.h"
#include "ledger/ledger_store.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace coffer {

struct AddReport {
    AddOutcome outcome;
    std::uint64_t entries = 0;    // of the paste, every copy
    bool namesGuild = false;      // whether the paste has a guild key
    std::uint64_t unfinished = 0; // entries the paste ends inside, left out
};

// The time now, in milliseconds since 1970 UTC: when an add says it was made.
std::int64_t NowMs();

// Adds the text as one paste. Throws LedgerError, also for a page that repeats one entry more than
// kMaxCopies times, and AddCancelled when `watch` stops the add.
[[nodiscard]] AddReport AddToLedger(LedgerStore& store, std::string_view text, const std::string& fileName,
                                    std::int64_t addedAt, const AddWatch& watch = {});
// The same, for a paste already read from its text.
[[nodiscard]] AddReport AddPasteToLedger(LedgerStore& store, Paste paste, const std::string& fileName,
                                         std::int64_t addedAt, const AddWatch& watch = {});

// Adds every entry, the guild and every paste record of another ledger, named `otherName`, under the
// same rules. Every entry and paste is checked first, as an add would have stored it: the first that
// fails refuses the whole merge ("OTHER is damaged: REASON") and nothing is added. Throws LedgerError.
[[nodiscard]] AddOutcome MergeLedger(LedgerStore& store, LedgerStore& other, const std::string& otherName);

// The status lines of an add: what went in, and whether the paste named a guild.
std::vector<std::string> AddStatusLines(const std::string& pasteName, const AddReport& report);

struct LedgerLog {
    HugeText text;             // a bank log of the period's entries, for RunAnalysisInPlace
    std::uint64_t leftOut = 0; // entries with a time outside the period
    std::uint64_t undated = 0; // entries without a readable time, which only "everything" holds
};

// The entries whose own time lies in the period (every one, those without a time too, when there is
// none), in the analysis' order. `progress` hears the share of the ledger's entries read; after a stop
// the log is left empty.
[[nodiscard]] LedgerLog ReadLedgerLog(LedgerStore& store, const std::optional<TimeRange>& period,
                                      const StepProgress& progress = {});

// The status line of the entries without a readable time that a period left out.
std::string UndatedLeftOutText(std::uint64_t entries);

} // namespace coffer

// SPDX-License-Identifier: MIT
#pragma once
// A ledger as both programs show it: opened when it must exist already, its totals, pastes and
// gaps, and their texts, so that the window and coffer-cli say the same things.

#include "ledger/ledger_gaps.h"
#include "ledger/ledger_store.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace coffer {

// Opens a ledger (a file or a server ledger) for reading; throws a LedgerError when there is no such file.
[[nodiscard]] std::unique_ptr<LedgerStore> OpenExistingLedger(const std::string& name, const LockWait& lockWait = {});

// The file's size with its write-ahead log and that log's index.
std::uint64_t LedgerFileSize(const std::string& file);
// The size of the write-ahead log and its index alone: the writes not yet moved into the file.
std::uint64_t LedgerRecentWritesSize(const std::string& file);

struct LedgerSummary {
    std::optional<GuildIdentity> guild;
    LedgerTotals totals;
    std::vector<PasteRecord> pastes;           // in the order they were added
    std::vector<TimeGap> gaps;                 // oldest first
    std::optional<std::uint64_t> fileSize;     // of a ledger file
    std::optional<std::uint64_t> recentWrites; // the part of fileSize not yet moved into the file itself
};

[[nodiscard]] LedgerSummary ReadLedgerSummary(LedgerStore& store, const std::string& name);

// "Guild: ...", "Entries: ...", "First entry: ...", "Last entry: ..." and, for a file, "File size: ...".
std::vector<std::string> LedgerTotalsLines(const LedgerSummary& summary);

// A paste's fields as the lists show them: when it was added, its entries, the copies it added, its
// first and last time, its guild and its file.
using PasteFields = std::array<std::string, 7>;
PasteFields PasteFieldTexts(const PasteRecord& paste);

} // namespace coffer

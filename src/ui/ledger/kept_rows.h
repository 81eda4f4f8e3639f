// SPDX-License-Identifier: MIT
#pragma once
// Rows of the entries list found again after the ledger changed. A row is an entry's copy: the entry's key
// and which of its copies it is, never its number, since an add puts its rows anywhere in the list (a late
// page among older entries, one more copy of an entry beside the others). A ledger only gains entries and
// copies, so a row that was number n is now between n and n plus the rows added, and rows keep their order.

#include "ledger/ledger_store.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace coffer {

struct RowIdentity {
    std::string key; // the entry's key in the ledger
    std::optional<std::int64_t> ts;
    std::uint64_t copy = 0; // of the entry's rows, which one: 0 for the first
};

// The identity of a listed row whose entry's earlier copies (the rows just before it that are the same
// entry) number `copy`.
RowIdentity IdentityOf(const ListedRow& row, std::uint64_t copy);

// A row to find: who it is, and its number before the change.
struct KeptRow {
    RowIdentity identity;
    std::uint64_t row = 0;
};

// Where each kept row stands in the list of `filter`, now `total` rows of which `added` came in since the
// rows were numbered; none for a row not found (the ledger lost rows: another file took its place).
// Reads only the stretches where the rows can be.
std::vector<std::optional<std::uint64_t>> FindKeptRows(LedgerStore& store, const EntryListFilter& filter,
                                                       std::uint64_t total, std::uint64_t added,
                                                       const std::vector<KeptRow>& kept);

} // namespace coffer

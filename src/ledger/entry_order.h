// SPDX-License-Identifier: MIT
#pragma once
// The one order of a ledger's entries, wherever they are read in order: the log the analysis reads, the
// entries list and its windows, from either store, through their SQL or from the entries' texts.

#include <cstdint>
#include <string_view>

namespace coffer {

// Where the pastes put an entry: its time, then its rank among the entries of that time.
struct EntryOrder {
    // Its own time, or that of the timed entry above it on its page; -1 when there is none.
    std::int64_t time = -1;
    // Among the paste's distinct entries of that time, in paste order from 0. Of several pastes, the
    // largest counts: a paste whose page starts inside a run of equal times sees the run's end only.
    std::int64_t rank = 0;
    auto operator<=>(const EntryOrder&) const = default;
};

// Whether the entry at `a` of key `aKey` comes before the entry at `b` of key `bKey`: the later time
// first (so an untimed entry follows the timed one above it on its page, and one with none lies after
// every time), then the lower rank, then the key in byte order, which tells any two entries apart and
// is the same in every ledger of the same pastes.
inline bool ComesBefore(const EntryOrder& a, std::string_view aKey, const EntryOrder& b, std::string_view bKey) {
    if (a.time != b.time)
        return a.time > b.time;
    if (a.rank != b.rank)
        return a.rank < b.rank;
    return aKey < bKey;
}

// The same order as the ORDER BY of a statement on the entry table (both stores compare keys as bytes),
// and the other way round, oldest first.
inline constexpr const char* kEntryOrderSql = "order_time DESC, order_rank, key";
inline constexpr const char* kReversedEntryOrderSql = "order_time, order_rank DESC, key DESC";

} // namespace coffer

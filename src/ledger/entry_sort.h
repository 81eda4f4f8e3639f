// SPDX-License-Identifier: MIT
#pragma once
// The orders of the entries list: the ledger's own, newest first, or its reverse, both read a page at a
// time from the store; or by the cells of the Member, Item, Count or Gold column, which sorts the listed
// entries once, holding only their ids, and so only a list of at most kMostRowsSorted rows.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace coffer {

enum class EntrySortColumn { Time, Member, Item, Count, Gold };

struct EntrySort {
    EntrySortColumn column = EntrySortColumn::Time;
    // Time: oldest first; a column: from the last in its order to the first. Ties stay in the list's order.
    bool reversed = false;
    bool operator==(const EntrySort&) const = default;
};

// A word of --sort: "-time" (newest first, the list's own order), "time" (oldest first), "member",
// "item", "count" or "gold"; none for another.
std::optional<EntrySort> EntrySortNamed(std::string_view word);

// The most rows a sort by a column takes.
constexpr std::uint64_t kMostRowsSorted = 200'000;
// What a list of more rows says of a sort by `column`.
std::string TooManyToSortText(EntrySortColumn column, std::uint64_t most = kMostRowsSorted);

// What of an entry a sort by `column` compares, from its element: Member and Item compare their names
// with A to Z folded, then in byte order; Count and Gold their cells as numbers, after those without a
// number and before those of another text. Keys compare in byte order.
std::string SortKey(EntrySortColumn column, std::string_view element);

// The listed entries in the order of a sort by a column: each entry's id (a file's row number as 8 bytes, a
// server's key, or the key of an entry read from its text) with its copies, which are as many rows side by
// side.
struct SortedList {
    struct Entry {
        std::string id;
        std::uint64_t copies = 0;
    };
    std::vector<Entry> entries;
    std::uint64_t rows = 0; // every entry's copies
    bool fromTexts = false; // ids are entries' keys, read from every entry's text
};

} // namespace coffer

// SPDX-License-Identifier: MIT
// The entries list sorted by a column: the listed entries' keys are read once, in the list's order, and
// sorted stably, so that ties keep that order; the rows of a page are then read by their entries' ids.

#include "ledger/entry_order.h"
#include "ledger/ledger_sql.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace coffer {

std::optional<SortedList> LedgerStore::sortListed(const EntryListFilter& filter, EntrySort sort, std::uint64_t most) {
    struct Keyed {
        std::string key;
        SortedList::Entry entry;
    };
    std::vector<Keyed> keyed;
    SortedList list;
    bool fits = false;
    readAtOnce([&] {
        if (countListed(filter) > most)
            return;
        fits = true;
        const bool indexed = withListSql([&](LedgerSql& sql, ListNames& names) {
            ForEachListedEntry(sql, names, filter, false, [&](const ListedEntry& entry) {
                keyed.push_back({SortKey(sort.column, entry.row.text), {.id = entry.id, .copies = entry.copies}});
            });
        });
        if (indexed)
            return;
        // From the texts: the entries that pass, put in the list's order here, under their keys.
        list.fromTexts = true;
        std::vector<std::pair<EntryOrder, Keyed>> places;
        forEachEntry(filter.period, [&](const LedgerEntry& entry) {
            if (PassesFilter(filter, ReadEntryFields(entry.text), entry.ts))
                places.push_back(
                    {entry.order, {SortKey(sort.column, entry.text), {.id = entry.key, .copies = entry.copies}}});
        });
        std::ranges::sort(places, [](const auto& a, const auto& b) {
            return ComesBefore(a.first, a.second.entry.id, b.first, b.second.entry.id);
        });
        for (auto& [order, place] : places)
            keyed.push_back(std::move(place));
    });
    if (!fits)
        return std::nullopt;
    std::ranges::stable_sort(keyed, [reversed = sort.reversed](const Keyed& a, const Keyed& b) {
        return reversed ? b.key < a.key : a.key < b.key;
    });
    list.entries.reserve(keyed.size());
    for (Keyed& entry : keyed) {
        list.rows += entry.entry.copies;
        list.entries.push_back(std::move(entry.entry));
    }
    return list;
}

std::vector<ListedRow> LedgerStore::sortedRows(const EntryListFilter& filter, const SortedList& list,
                                               std::uint64_t first, std::uint64_t count) {
    // The entries whose rows meet the window, with the row each one starts at.
    std::vector<std::pair<const SortedList::Entry*, std::uint64_t>> wanted;
    std::uint64_t row = 0;
    for (const SortedList::Entry& entry : list.entries) {
        if (row >= first + count)
            break;
        if (row + entry.copies > first)
            wanted.emplace_back(&entry, row);
        row += entry.copies;
    }
    std::unordered_map<std::string, ListedRow> found;
    const auto keep = [&](const std::string& id, const ListedRow& listed) { found.emplace(id, listed); };
    readAtOnce([&] {
        std::vector<std::string> ids;
        for (const auto& [entry, start] : wanted)
            ids.push_back(entry->id);
        if (!list.fromTexts && withListSql([&](LedgerSql& sql, ListNames&) { ForEachWithId(sql, ids, keep); }))
            return;
        const std::unordered_set<std::string> keys(ids.begin(), ids.end());
        forEachEntry(filter.period, [&](const LedgerEntry& entry) {
            if (keys.contains(entry.key))
                keep(entry.key, ListedRow{entry.text, entry.ts});
        });
    });
    std::vector<ListedRow> rows;
    for (const auto& [entry, start] : wanted) {
        const auto listed = found.find(entry->id);
        if (listed == found.end())
            continue;
        for (std::uint64_t at = std::max(start, first); at < std::min(start + entry->copies, first + count); ++at)
            rows.push_back(listed->second);
    }
    return rows;
}

} // namespace coffer
